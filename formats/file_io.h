/* Reading a file whole, within a limit, and writing output files so that
 * a failure leaves no trace: each is written to a temporary file in its
 * own folder and put in place only when all are complete. */
#ifndef MIENSCOPE_FILE_IO_H
#define MIENSCOPE_FILE_IO_H

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#include <string>
#include <vector>

struct OutputFile {
    std::string path;
    std::string text;
};

/* A file a run reads, known by device and inode, so that no output replaces it under any name or link. */
struct ReadFile {
    dev_t device = 0;
    ino_t inode = 0;
    std::string what; /* "recording", "marker set", "study table": the message's word */
};

/* What a run's outputs may replace: every file is checked against it before anything is written and
 * again as it is put in place. */
struct OutputGuard {
    bool force = false;           /* replace files that exist, except those below */
    std::vector<ReadFile> inputs; /* never replaced, with or without force */
    /* Files of a kind never replaced, with or without force; nullptr for none. */
    bool (*is_kept)(const std::string &path) = nullptr;
    std::string kept = "a file that is kept"; /* what such a file is, as the message names it */
    std::string writes = "a file this program writes"; /* what the run writes, as the message names it */
};

std::string base_name(const std::string &path); /* what follows the last '/' */
std::string find_on_path(const std::string &program); /* its full path, or "" when no folder of PATH has it */
/* The program of that name in the folder of the running program's own file, else on PATH; "" for none. */
std::string find_beside_or_on_path(const std::string &program);
/* Notes a file the run reads, as `what`; a path that can't be looked at is left out, as nothing can
 * replace what is not there. */
void guard_input(OutputGuard *guard, const std::string &path, const char *what);
/* Whether path may be written: refused, with one line naming it, when it is a folder, not a regular file
 * (a device, a FIFO), one of the inputs, a kept file, or (without force) any file that exists. */
bool check_output(const std::string &path, const OutputGuard &guard, std::string *error);
/* At most limit bytes; errors start with the path, and a larger file gets "PATH: too_large". */
bool read_whole_file(const std::string &path, size_t limit, const char *too_large, std::vector<uint8_t> *bytes,
                     std::string *error);
/* A file's bytes in memory as read_whole_file reads them: a regular file mapped (no copy; the pages are
 * the system's cache of the file), anything else read. */
struct MappedFile {
    const uint8_t *data = nullptr;
    size_t size = 0;
    void *mapping = nullptr;     /* the mapping, or nullptr when read into bytes */
    std::vector<uint8_t> bytes;
};
/* At most limit bytes, with read_whole_file's errors. */
bool map_whole_file(const std::string &path, size_t limit, const char *too_large, MappedFile *file, std::string *error);
void unmap_whole_file(MappedFile *file); /* the mapping or the bytes let go */
/* All or none: on any error no file has been created or changed. */
bool write_all_or_none(const std::vector<OutputFile> &files, const OutputGuard &guard, std::string *error);

/* The folder and those above it that are missing, as mkdir -p makes them; made (when given): those this
 * call made, outermost first. */
bool make_folders(const std::string &folder, std::string *error, std::vector<std::string> *made = nullptr);
/* An empty new file beside path, for a writer that opens files by name; until it is put in place or
 * removed, SIGINT, SIGTERM or SIGHUP remove it before they end the program. */
bool make_temporary_beside(const std::string &path, std::string *temporary, std::string *error);
/* The temporary put at path (refused as check_output refuses); it goes on failure. */
bool place_file(const std::string &temporary, const std::string &path, const OutputGuard &guard, std::string *error);
/* Each temporary put at its path, all or none; every temporary left goes on failure. */
bool place_files(const std::vector<std::string> &temporaries, const std::vector<std::string> &paths,
                 const OutputGuard &guard, std::string *error);
void remove_temporaries(const std::vector<std::string> &temporaries); /* those still there, removed */
/* Files written into a new hidden folder inside their folder, and there
 * made by other programs too (plots), then put in place together. */
struct StagedOutput {
    std::string folder;             /* where the files go; made with its parents if needed */
    std::string staging;            /* the hidden folder inside it */
    std::vector<std::string> names; /* the files to put in place, by name */
    std::vector<std::string> made;  /* the folders begin_staged_output made, outermost first */
    OutputGuard guard;              /* what the files may replace */
};

/* Makes the folders. */
bool begin_staged_output(const std::string &folder, const OutputGuard &guard, StagedOutput *out, std::string *error);
/* A staging folder in $TMPDIR (else /tmp) for files made only to be read back; abandon it when done. */
bool begin_scratch_output(StagedOutput *out, std::string *error);
bool stage_file(StagedOutput *out, const std::string &name, const std::string &text, std::string *error); /* writes and names it */
bool stage_folder(StagedOutput *out, const std::string &name, std::string *error); /* for files another program writes */
bool finish_staged_output(StagedOutput *out, std::string *error); /* all in place or none; the staging folder goes */
void abandon_staged_output(StagedOutput *out); /* the staging folder and all in it go, and the folders it made */

#endif
