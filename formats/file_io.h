/* Reading a file whole, within a limit, and writing output files so that
 * a failure leaves no trace: each is written to a temporary file in its
 * own folder and put in place only when all are complete. */
#ifndef MIENSCOPE_FILE_IO_H
#define MIENSCOPE_FILE_IO_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

struct OutputFile {
    std::string path;
    std::string text;
};

std::string base_name(const std::string &path); /* what follows the last '/' */
/* At most limit bytes; errors start with the path, and a larger file gets "PATH: too_large". */
bool read_whole_file(const std::string &path, size_t limit, const char *too_large, std::vector<uint8_t> *bytes,
                     std::string *error);
/* Without force, a file that exists is refused and left untouched. Errors start with the path. */
bool check_replaceable(const std::string &path, bool force, std::string *error);
/* All or none: on any error no file has been created or changed. */
bool write_all_or_none(const std::vector<OutputFile> &files, bool force, std::string *error);

/* An empty new file beside path, for a writer that opens files by name. */
bool make_temporary_beside(const std::string &path, std::string *temporary, std::string *error);
/* The temporary put at path (refused without force when something is there); it goes on failure. */
bool place_file(const std::string &temporary, const std::string &path, bool force, std::string *error);
/* Files written into a new hidden folder inside their folder, and there
 * made by other programs too (plots), then put in place together. */
struct StagedOutput {
    std::string folder;             /* where the files go; made with its parents if needed */
    std::string staging;            /* the hidden folder inside it */
    std::vector<std::string> names; /* the files to put in place, by name */
    std::vector<std::string> made;  /* the folders begin_staged_output made, outermost first */
    bool force = false;             /* replace files that exist */
};

bool begin_staged_output(const std::string &folder, bool force, StagedOutput *out, std::string *error); /* makes the folders */
bool stage_file(StagedOutput *out, const std::string &name, const std::string &text, std::string *error); /* writes and names it */
bool stage_folder(StagedOutput *out, const std::string &name, std::string *error); /* for files another program writes */
bool finish_staged_output(StagedOutput *out, std::string *error); /* all in place or none; the staging folder goes */
void abandon_staged_output(StagedOutput *out); /* the staging folder and all in it go, and the folders it made */

#endif
