#include "cache.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/sha.h>
}

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <vector>

#include "file_io.h"

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

bool cache_key(const std::string &video, const std::string &model, double eye_mm, const char *version,
               std::string *key, std::string *error)
{
    std::string hash, reason;
    if (!file_sha256(video, &hash, &reason)) {
        *error = video + ": can't be read as a video: " + reason;
        return false;
    }
    struct stat st;
    char resolved[PATH_MAX];
    if (stat(model.c_str(), &st) != 0 || !realpath(model.c_str(), resolved)) {
        *error = model + ": can't be read: " + strerror(errno);
        return false;
    }
    char line[128];
    snprintf(line, sizeof line, " %lld %lld.%09ld\n", (long long)st.st_size, (long long)st.st_mtim.tv_sec,
             (long)st.st_mtim.tv_nsec);
    *key = "video " + hash + "\nmodel " + key_path(resolved) + line;
    snprintf(line, sizeof line, "eye-distance %.17g\ntracker %s\n", eye_mm, version);
    *key += line;
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
