/* Tables of videos tracked before, kept in $XDG_CACHE_HOME/mienscope
 * (else ~/.cache/mienscope), so that opening a video again costs a read.
 * A file a key; the key names what the table depends on: the video's
 * content (its SHA-256), the model (its path, size and modification
 * time; hashing its 100 MB would cost more than it saves), the eye
 * distance and the tracker's version. Each file carries its key and the
 * SHA-256 of its table, and one whose key or checksum does not match is
 * never trusted: it is tracked again and replaced.
 *
 * A file:
 *   mienscope-track cache
 *   key video HEX
 *   key model PATH SIZE MTIME   (the path's bytes below 32 and "\" as \xHH)
 *   key eye-distance MM
 *   key tracker VERSION
 *   undecodable N               (frames skipped as undecodable, said again when read)
 *   checksum HEX
 *   (an empty line, then the table) */
#ifndef MIENSCOPE_TRACK_CACHE_H
#define MIENSCOPE_TRACK_CACHE_H

#include <stddef.h>
#include <stdint.h>

#include <string>

std::string cache_folder(void); /* where the files go; "" when neither XDG_CACHE_HOME nor HOME says */
/* The key of a tracking, its lines without "key " before each; false with one line naming the video
 * ("can't be read as a video: REASON") or the model ("can't be read: REASON"). */
bool cache_key(const std::string &video, const std::string &model, double eye_mm, const char *version,
               std::string *key, std::string *error);
/* The key of a parsed landmark model: its path, size and modification time and the tracker's version;
 * false with "MODEL: can't be read: REASON". */
bool model_cache_key(const std::string &model, const char *version, std::string *key, std::string *error);
/* A cache file's text: the table and the undecodable count when it is whole and has this key. */
bool parse_cache_file(const std::string &text, const std::string &key, std::string *table, size_t *undecodable);
/* The table kept for the key in folder, when a whole file for it is there. */
bool cached_table(const std::string &folder, const std::string &key, std::string *table, size_t *undecodable);
/* The table kept for the key, written whole or not at all; false when it could not be. */
bool keep_table(const std::string &folder, const std::string &key, const std::string &table, size_t undecodable);

/* The parsed model kept, so that a tracker reads 65 MB of floats where it would decode dlib's 95 MB
 * (0.15 s of a core a video). A file a model, model-SHA256(KEY).bin:
 *   mienscope-track model
 *   key model PATH SIZE MTIME
 *   key tracker VERSION
 *   checksum HEX16              (a 64-bit hash of the model's bytes)
 *   (an empty line, and up to three more so that the model starts on a 4-byte boundary; then the model:
 *    points, cascades, the mean shape; per cascade its feature pixels, trees and splits a tree, then
 *    anchors, offsets, splits and leaves; 32-bit words, little-endian) */
struct LandmarkModel;
/* The model, when the bytes are such a file, whole, with this key and a model every point of which fits; its
 * leaves are used where they lie in data, which must outlive it. */
bool parse_model_cache(const uint8_t *data, size_t size, const std::string &key, LandmarkModel *model);
bool cached_model(const std::string &folder, const std::string &key, LandmarkModel *model); /* the model kept, mapped */
/* The model kept for the key, written whole or not at all; false when it could not be. */
bool keep_model(const std::string &folder, const std::string &key, const LandmarkModel &model);

#endif
