/* Readers for the two plain-text data files.
 *
 * Both files are whitespace-separated numbers with no header. Numbers are
 * taken exactly as "%d" and "%f" would take them (signs, exponents, inf, nan,
 * hexadecimal), but every problem is caught: nothing outside the record is
 * ever written, coordinates that cannot be read are 0, and each kind of
 * problem gets one warning line naming the file. */
#include "head.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* A chunked view of an open file that holds the whole of a token before
 * strtof/strtol see it, so that they take exactly what a scanf conversion
 * would. */
typedef struct {
    FILE *fp;
    char *buf;       /* NUL-terminated; buf[pos..len) is unread */
    size_t cap;
    size_t len;
    size_t pos;
    int at_eof;
} Scanner;

enum { SCAN_OK, SCAN_NOT_A_NUMBER, SCAN_END };

static const size_t scanner_chunk = 65536;
/* No number is written with a megabyte of characters; a longer run without
 * blanks (a stream of NUL bytes, say) is converted from its first megabyte
 * instead of being read into memory whole. */
static const size_t longest_token = 1 << 20;
/* Enough for any plain decimal and the blank after it. */
static const size_t plain_lookahead = 32;

static int is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static void scanner_open(Scanner *s, FILE *fp)
{
    s->fp = fp;
    s->cap = scanner_chunk;
    s->buf = (char *)malloc(s->cap + 1);
    s->len = 0;
    s->pos = 0;
    s->at_eof = s->buf == NULL;
    if (s->buf)
        s->buf[0] = '\0';
}

static void scanner_close(Scanner *s)
{
    free(s->buf);
    fclose(s->fp);
}

/* Drops what has been consumed, grows the buffer when the unread part fills
 * it (a very long token), and appends the next chunk of the file. */
static void scanner_fill(Scanner *s)
{
    size_t unread = s->len - s->pos;
    memmove(s->buf, s->buf + s->pos, unread);
    s->len = unread;
    s->pos = 0;
    if (s->cap - s->len < scanner_chunk) {
        char *grown = (char *)realloc(s->buf, s->cap * 2 + 1);
        if (!grown) {
            s->at_eof = 1;
            s->buf[s->len] = '\0';
            return;
        }
        s->buf = grown;
        s->cap *= 2;
    }
    size_t got = fread(s->buf + s->len, 1, s->cap - s->len, s->fp);
    s->len += got;
    s->buf[s->len] = '\0';
    if (got == 0)
        s->at_eof = 1;
}

/* Skips blanks and makes sure that at least plain_lookahead bytes follow,
 * or the rest of the file. Returns 0 when only blanks remain. */
static int scanner_skip_blanks(Scanner *s)
{
    for (;;) {
        while (s->pos < s->len && is_blank(s->buf[s->pos]))
            s->pos++;
        if (s->len - s->pos >= plain_lookahead || s->at_eof)
            return s->pos < s->len;
        scanner_fill(s);
    }
}

/* Makes sure the token at pos is wholly in the buffer, up to longest_token
 * characters. */
static void scanner_whole_token(Scanner *s)
{
    for (;;) {
        size_t end = s->pos;
        while (end < s->len && !is_blank(s->buf[end]))
            end++;
        if (end < s->len || s->at_eof || end - s->pos >= longest_token)
            return;
        scanner_fill(s);
    }
}

/* Plain decimals such as "-726.12", the common case, without strtof: with
 * at most 2^24 as the digits' integer and at most 10 digits after the
 * point, both it and the power of ten are exact floats, so one float
 * division rounds exactly as strtof does. Anything else (exponents, hex,
 * inf, nan, more digits, a number run into other text) returns 0 and is
 * left to strtof. */
static int scan_plain_decimal(const char *p, const char **end, float *value)
{
    static const float powers_of_ten[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    int negative = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    unsigned long digits = 0;
    int count = 0;
    int decimals = -1;
    for (;; p++) {
        if (*p >= '0' && *p <= '9') {
            if (++count > 9)
                return 0;
            digits = digits * 10 + (unsigned long)(*p - '0');
            if (decimals >= 0)
                decimals++;
        } else if (*p == '.' && decimals < 0) {
            decimals = 0;
        } else {
            break;
        }
    }
    if (count == 0 || digits > (1ul << 24) || decimals > 10 || !(*p == '\0' || is_blank(*p)))
        return 0;
    float magnitude = (float)digits / powers_of_ten[decimals < 0 ? 0 : decimals];
    *value = negative ? -magnitude : magnitude;
    *end = p;
    return 1;
}

/* Moves past what a conversion took; taking nothing means not a number. */
static int scanner_advance(Scanner *s, const char *end)
{
    if (end == s->buf + s->pos)
        return SCAN_NOT_A_NUMBER;
    s->pos = (size_t)(end - s->buf);
    return SCAN_OK;
}

static int scan_float(Scanner *s, float *value)
{
    if (!scanner_skip_blanks(s))
        return SCAN_END;
    const char *plain_end;
    if (scan_plain_decimal(s->buf + s->pos, &plain_end, value))
        return scanner_advance(s, plain_end);
    scanner_whole_token(s);
    char *end;
    *value = strtof(s->buf + s->pos, &end);
    return scanner_advance(s, end);
}

static int scan_int(Scanner *s, long *value)
{
    if (!scanner_skip_blanks(s))
        return SCAN_END;
    scanner_whole_token(s);
    char *end;
    *value = strtol(s->buf + s->pos, &end, 10);
    return scanner_advance(s, end);
}

/* The start of the unread token, printable, for a warning. */
static const char *scanner_excerpt(const Scanner *s, char *out, size_t size)
{
    size_t n = 0;
    for (size_t i = s->pos; i < s->len && !is_blank(s->buf[i]) && n + 1 < size; i++, n++)
        out[n] = (s->buf[i] >= 0x21 && s->buf[i] <= 0x7e) ? s->buf[i] : '?';
    out[n] = '\0';
    return out;
}

/* Reads the segments of one line file. The count is cut to the record's
 * 100 segments; segments whose ends are not markers in use are dropped. */
void read_line_info(const char *FileName, FACE *face)
{
    FILE *fp = fopen(FileName, "r");
    if (!fp) {
        fprintf(stderr, "can't open input file: %s\n", FileName);
        exit(-1);
    }
    Scanner s;
    scanner_open(&s, fp);
    long count = 0;
    int status = scan_int(&s, &count);
    face->nlines = 0;
    if (status != SCAN_OK || count < 0) {
        char token[24];
        if (status == SCAN_OK)
            fprintf(stderr, "%s: segment count %ld is negative; no segments are drawn\n", FileName, count);
        else
            fprintf(stderr, "%s: segment count \"%s\" is not a number; no segments are drawn\n", FileName,
                    scanner_excerpt(&s, token, sizeof token));
        scanner_close(&s);
        return;
    }
    long capacity = (long)(sizeof face->linemap / sizeof face->linemap[0]);
    long wanted = count;
    if (count > capacity) {
        fprintf(stderr, "%s: segment count %ld is over the %ld a face holds; kept the first %ld\n", FileName, count,
                capacity, capacity);
        wanted = capacity;
    }
    long pairs = 0;
    long dropped = 0;
    for (; pairs < wanted; pairs++) {
        long ends[2];
        if (scan_int(&s, &ends[0]) != SCAN_OK || scan_int(&s, &ends[1]) != SCAN_OK)
            break;
        if (ends[0] < 0 || ends[0] >= face->nvertices || ends[1] < 0 || ends[1] >= face->nvertices) {
            dropped++;
            continue;
        }
        face->linemap[face->nlines][0] = (int)ends[0];
        face->linemap[face->nlines][1] = (int)ends[1];
        face->nlines++;
    }
    if (pairs < wanted)
        fprintf(stderr, "%s: only %ld of %ld segments could be read; kept those\n", FileName, pairs, wanted);
    if (dropped > 0)
        fprintf(stderr, "%s: %ld %s markers outside 0..%d; dropped %s\n", FileName, dropped,
                dropped == 1 ? "segment joins" : "segments join", face->nvertices - 1, dropped == 1 ? "it" : "them");
    scanner_close(&s);
}

/* Reads nframes x nvertices triples. A file's triple (a, b, c) is the
 * marker's (-z, y, x): x = c, y = b, z = -a, with the sign bit of z flipped
 * even when nothing was read, so an unread z is -0. */
void read_data_matrix(const char *FileName, FACE *face)
{
    FILE *fp = fopen(FileName, "r");
    if (!fp) {
        fprintf(stderr, "read_data_matrix failed to open: %s\n Is data path correct?", FileName);
        exit(1);
    }
    Scanner s;
    scanner_open(&s, fp);
    int status = SCAN_OK;
    long positions = 0;
    long complete = 0;
    long not_finite = 0;
    char token[24] = "";
    for (int i = 0; i < face->nframes; i++) {
        for (int j = 0; j < face->nvertices; j++, positions++) {
            float *marker = face->ff[i][j];
            for (int axis = 2; axis >= 0; axis--) {
                float value = 0.0f;
                if (status == SCAN_OK) {
                    status = scan_float(&s, &value);
                    if (status == SCAN_NOT_A_NUMBER)
                        scanner_excerpt(&s, token, sizeof token);
                }
                if (status != SCAN_OK) {
                    value = 0.0f;
                } else if (!isfinite(value)) {
                    value = 0.0f;
                    not_finite++;
                }
                marker[axis] = value;
            }
            marker[2] = -marker[2];
            if (status == SCAN_OK)
                complete++;
        }
    }
    if (status == SCAN_END)
        fprintf(stderr, "%s: file ends after %ld of %ld marker positions; the missing coordinates are 0\n",
                FileName, complete, positions);
    if (status == SCAN_NOT_A_NUMBER)
        fprintf(stderr, "%s: \"%s\" after %ld of %ld marker positions is not a number; it and the rest of the file are ignored, the missing coordinates are 0\n",
                FileName, token, complete, positions);
    if (not_finite > 0)
        fprintf(stderr, "%s: %ld %s not finite (inf or nan); %s set to 0\n", FileName, not_finite,
                not_finite == 1 ? "value is" : "values are", not_finite == 1 ? "it is" : "they are");
    scanner_close(&s);
}
