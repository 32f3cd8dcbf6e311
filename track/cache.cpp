#include "cache.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/sha.h>
}

#include <errno.h>
#include <stdint.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "file_io.h"
#include "landmarks.h"

std::string cache_folder(void)
{
    const char *xdg = getenv("XDG_CACHE_HOME"), *home = getenv("HOME");
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/mienscope";
    if (home && home[0])
        return std::string(home) + "/.cache/mienscope";
    return "";
}

/* SHA-256 of what `feed` gives, in lower-case hex. */
template <typename Feed> static std::string sha256_hex(Feed feed)
{
    struct AVSHA *sha = av_sha_alloc();
    uint8_t digest[32];
    if (!sha)
        return "";
    av_sha_init(sha, 256);
    feed([&](const uint8_t *data, size_t size) { av_sha_update(sha, data, size); });
    av_sha_final(sha, digest);
    av_free(sha);
    std::string hex;
    for (uint8_t b : digest) {
        char two[3];
        snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

static std::string text_sha256(const std::string &text)
{
    return sha256_hex([&](auto update) { update((const uint8_t *)text.data(), text.size()); });
}

/* The file's SHA-256, read a MiB at a time; false with the reason. */
static bool file_sha256(const std::string &path, std::string *hex, std::string *reason)
{
    FILE *fp = fopen(path.c_str(), "rb");
    if (!fp) {
        *reason = strerror(errno);
        return false;
    }
    bool failed = false;
    *hex = sha256_hex([&](auto update) {
        std::vector<uint8_t> chunk(1 << 20);
        size_t got;
        while ((got = fread(chunk.data(), 1, chunk.size(), fp)) > 0)
            update(chunk.data(), got);
        failed = ferror(fp);
    });
    fclose(fp);
    if (failed)
        *reason = strerror(EIO);
    return !failed && !hex->empty();
}

/* The path with its control bytes and backslashes as \xHH, so that a key line is one line. */
static std::string key_path(const std::string &path)
{
    std::string out;
    for (unsigned char c : path) {
        char escaped[8];
        snprintf(escaped, sizeof escaped, "\\x%02x", c);
        out += c < 32 || c == '\\' ? std::string(escaped) : std::string(1, (char)c);
    }
    return out;
}

/* "model PATH SIZE MTIME\n": the model as the keys name it; false with "MODEL: can't be read: REASON". */
static bool model_line(const std::string &model, std::string *line, std::string *error)
{
    struct stat st;
    char resolved[PATH_MAX];
    if (stat(model.c_str(), &st) != 0 || !realpath(model.c_str(), resolved)) {
        *error = model + ": can't be read: " + strerror(errno);
        return false;
    }
    char numbers[128];
    snprintf(numbers, sizeof numbers, " %lld %lld.%09ld\n", (long long)st.st_size, (long long)st.st_mtim.tv_sec,
             (long)st.st_mtim.tv_nsec);
    *line = "model " + key_path(resolved) + numbers;
    return true;
}

bool cache_key(const std::string &video, const std::string &model, double eye_mm, const char *version,
               std::string *key, std::string *error)
{
    std::string hash, reason, model_text;
    if (!file_sha256(video, &hash, &reason)) {
        *error = video + ": can't be read as a video: " + reason;
        return false;
    }
    if (!model_line(model, &model_text, error))
        return false;
    char line[128];
    snprintf(line, sizeof line, "eye-distance %.17g\ntracker %s\n", eye_mm, version);
    *key = "video " + hash + "\n" + model_text + line;
    return true;
}

bool model_cache_key(const std::string &model, const char *version, std::string *key, std::string *error)
{
    std::string model_text;
    if (!model_line(model, &model_text, error))
        return false;
    *key = model_text + "tracker " + version + "\n";
    return true;
}

/* The key's lines, each after "key ". */
static std::string key_block(const std::string &key)
{
    std::string block;
    size_t start = 0, end;
    while ((end = key.find('\n', start)) != std::string::npos) {
        block += "key " + key.substr(start, end + 1 - start);
        start = end + 1;
    }
    return block;
}

static const char cache_heading[] = "mienscope-track cache\n";

/* The line at text[*at] after the word, moved past; false when it does not start with it. */
static bool take_line(const std::string &text, size_t *at, const std::string &word, std::string *rest)
{
    size_t end = text.find('\n', *at);
    if (end == std::string::npos || text.compare(*at, word.size(), word) != 0)
        return false;
    *rest = text.substr(*at + word.size(), end - *at - word.size());
    *at = end + 1;
    return true;
}

bool parse_cache_file(const std::string &text, const std::string &key, std::string *table, size_t *undecodable)
{
    std::string opening = cache_heading + key_block(key), count, checksum;
    size_t at = opening.size();
    if (key.empty() || text.compare(0, opening.size(), opening) != 0 || !take_line(text, &at, "undecodable ", &count) ||
        !take_line(text, &at, "checksum ", &checksum) || text.compare(at, 1, "\n") != 0)
        return false;
    char *end;
    errno = 0;
    unsigned long long n = strtoull(count.c_str(), &end, 10);
    if (count.empty() || count[0] == '-' || *end || errno || n > (unsigned long long)SIZE_MAX)
        return false;
    std::string body = text.substr(at + 1);
    if (checksum.size() != 64 || text_sha256(body) != checksum)
        return false;
    *table = std::move(body);
    *undecodable = (size_t)n;
    return true;
}

static std::string cache_path(const std::string &folder, const std::string &key)
{
    return folder + "/" + text_sha256(key) + ".csv";
}

bool cached_table(const std::string &folder, const std::string &key, std::string *table, size_t *undecodable)
{
    std::vector<uint8_t> bytes;
    std::string error;
    return !folder.empty() && read_whole_file(cache_path(folder, key), (size_t)1 << 30, "is too large", &bytes, &error) &&
           parse_cache_file(std::string(bytes.begin(), bytes.end()), key, table, undecodable);
}

bool keep_table(const std::string &folder, const std::string &key, const std::string &table, size_t undecodable)
{
    std::string error;
    if (folder.empty() || !make_folders(folder, &error))
        return false;
    std::string text = cache_heading + key_block(key) + "undecodable " + std::to_string(undecodable) + "\nchecksum " +
                       text_sha256(table) + "\n\n" + table;
    OutputGuard replace;
    replace.force = true;
    return write_all_or_none({{cache_path(folder, key), text}}, replace, &error);
}

/* The model's bytes as kept: each count a 32-bit and each float a 32-bit IEEE number, little-endian as
 * this machine stores them, the model's arrays one after another (see cache.h). */
static void put_words(std::string *out, const void *words, size_t count)
{
    out->append((const char *)words, 4 * count);
}

static void put_count(std::string *out, size_t n)
{
    uint32_t word = (uint32_t)n;
    put_words(out, &word, 1);
}

static std::string model_bytes(const LandmarkModel &model)
{
    std::string out;
    put_count(&out, (size_t)model.points);
    put_count(&out, model.cascades.size());
    put_words(&out, model.mean_shape.data(), model.mean_shape.size());
    for (const LandmarkCascade &c : model.cascades) {
        put_count(&out, c.anchors.size());
        put_count(&out, c.trees);
        put_count(&out, c.splits_per_tree);
        put_words(&out, c.anchors.data(), c.anchors.size());
        put_words(&out, c.offsets.data(), c.offsets.size());
        put_words(&out, c.splits.data(), 3 * c.splits.size());
        put_words(&out, c.leaves, c.leaf_floats);
    }
    return out;
}

/* One step of a multiply-xor hash: a word into the sum so far. */
static uint64_t mix(uint64_t h, uint64_t word)
{
    h = (h ^ word) * 0x100000001b3ull;
    return h ^ (h >> 29);
}

/* A 64-bit check of the bytes (a byte changed anywhere changes it; fast enough for 65 MB, which SHA-256
 * would take ten times as long over): four words at a time into four sums, which don't wait on one
 * another's multiplies, then the four mixed into one. */
static uint64_t model_check(const uint8_t *data, size_t size)
{
    uint64_t h[4] = {0x9e3779b97f4a7c15ull ^ size, 0xc2b2ae3d27d4eb4full, 0x165667b19e3779f9ull, 0x27d4eb2f165667c5ull};
    size_t i = 0;
    for (; i + 32 <= size; i += 32)
        for (int lane = 0; lane < 4; lane++) {
            uint64_t word;
            memcpy(&word, data + i + 8 * lane, 8);
            h[lane] = mix(h[lane], word);
        }
    for (; i < size; i++)
        h[0] = mix(h[0], data[i]);
    return mix(mix(mix(h[0], h[1]), h[2]), h[3]);
}

static const char model_heading[] = "mienscope-track model\n";

static std::string model_path_in(const std::string &folder, const std::string &key)
{
    return folder + "/model-" + text_sha256(key) + ".bin";
}

/* Reading the bytes back: each array's length checked against what is left before anything is sized. */
struct ModelBytes {
    const uint8_t *at, *end;
};

static bool take_words(ModelBytes *b, void *words, size_t count)
{
    if (count > (size_t)(b->end - b->at) / 4)
        return false;
    memcpy(words, b->at, 4 * count);
    b->at += 4 * count;
    return true;
}

static bool take_count(ModelBytes *b, size_t *n)
{
    uint32_t word;
    if (!take_words(b, &word, 1))
        return false;
    *n = word;
    return true;
}

/* An array of n words: n checked against the bytes left before the vector is sized. */
template <typename T> static bool take_array(ModelBytes *b, size_t n, std::vector<T> *out)
{
    static_assert(sizeof(T) % 4 == 0, "whole words");
    size_t words = sizeof(T) / 4;
    if (n > (size_t)(b->end - b->at) / (4 * words))
        return false;
    out->resize(n);
    return take_words(b, out->data(), words * n);
}

/* n floats where they lie, which must be on a float's boundary: n checked against the bytes left. */
static bool take_in_place(ModelBytes *b, size_t n, const float **out)
{
    if (n > (size_t)(b->end - b->at) / 4 || (uintptr_t)b->at % alignof(float) != 0)
        return false;
    *out = (const float *)(const void *)b->at;
    b->at += 4 * n;
    return true;
}

static bool take_cascade(ModelBytes *b, size_t shape, LandmarkCascade *c)
{
    size_t pixels, splits, leaves;
    if (!take_count(b, &pixels) || !take_count(b, &c->trees) || !take_count(b, &c->splits_per_tree) ||
        __builtin_mul_overflow(c->trees, c->splits_per_tree, &splits) ||
        __builtin_mul_overflow(splits + c->trees, shape, &leaves)) /* trees x (splits a tree + 1) x shape */
        return false;
    c->leaf_floats = leaves;
    return take_array(b, pixels, &c->anchors) && take_array(b, 2 * pixels, &c->offsets) &&
           take_array(b, splits, &c->splits) && take_in_place(b, leaves, &c->leaves);
}

/* Where the model's words start after the heading: past the blank line, on a word's boundary (the
 * line breaks between make it up), so that the leaves can be used where they lie. */
static size_t model_start(const std::string &opening)
{
    return (opening.size() + 18 + 3) / 4 * 4;
}

bool parse_model_cache(const uint8_t *data, size_t size, const std::string &key, LandmarkModel *model)
{
    std::string opening = model_heading + key_block(key) + "checksum ";
    size_t start = model_start(opening);
    if (key.empty() || size < start || memcmp(data, opening.data(), opening.size()) != 0 ||
        std::any_of(data + opening.size() + 16, data + start, [](uint8_t byte) { return byte != '\n'; }))
        return false;
    std::string hex((const char *)data + opening.size(), 16);
    ModelBytes b = {data + start, data + size};
    char wanted[17];
    snprintf(wanted, sizeof wanted, "%016llx", (unsigned long long)model_check(b.at, (size_t)(b.end - b.at)));
    size_t points, cascades;
    *model = LandmarkModel();
    if (hex != wanted || !take_count(&b, &points) || !take_count(&b, &cascades) || points > (size_t)(b.end - b.at) ||
        !take_array(&b, 2 * points, &model->mean_shape) || cascades > (size_t)(b.end - b.at))
        return false;
    model->points = (int)points;
    model->cascades.resize(cascades);
    for (LandmarkCascade &c : model->cascades)
        if (!take_cascade(&b, 2 * points, &c))
            return false;
    return b.at == b.end && landmark_model_fits(*model);
}

bool cached_model(const std::string &folder, const std::string &key, LandmarkModel *model)
{
    MappedFile file;
    std::string error;
    unmap_whole_file(&model->kept); /* a model read before lets go of its file */
    if (folder.empty() || !map_whole_file(model_path_in(folder, key), (size_t)1 << 30, "is too large", &file, &error))
        return false;
    if (!parse_model_cache(file.data, file.size, key, model)) {
        unmap_whole_file(&file);
        return false;
    }
    model->kept = std::move(file); /* its leaves lie in it */
    return true;
}

bool keep_model(const std::string &folder, const std::string &key, const LandmarkModel &model)
{
    std::string error, bytes = model_bytes(model);
    if (folder.empty() || !make_folders(folder, &error))
        return false;
    char check[32];
    snprintf(check, sizeof check, "%016llx", (unsigned long long)model_check((const uint8_t *)bytes.data(), bytes.size()));
    std::string opening = model_heading + key_block(key) + "checksum ";
    std::string breaks(model_start(opening) - opening.size() - 16, '\n');
    OutputGuard replace;
    replace.force = true;
    return write_all_or_none({{model_path_in(folder, key), opening + check + breaks + bytes}}, replace, &error);
}
