#include "output_files.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

bool check_replaceable(const std::string &path, bool force, std::string *error)
{
    struct stat st;
    if (force || lstat(path.c_str(), &st) != 0)
        return true;
    *error = path + ": exists; --force replaces it, and without it the file is left untouched";
    return false;
}

static std::string folder_of(const std::string &path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

static std::string failure(const std::string &path, const char *what)
{
    return path + ": " + what + ": " + strerror(errno) + "; nothing was written";
}

/* The text in a new file beside `path`, readable as umask allows. */
static bool write_temporary(const OutputFile &file, std::string *temporary, std::string *error)
{
    std::string name = folder_of(file.path) + "/.mienscope-XXXXXX";
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    int fd = mkstemp(buffer.data());
    if (fd < 0) {
        *error = failure(file.path, "can't be created");
        return false;
    }
    *temporary = buffer.data();
    mode_t mask = umask(0);
    umask(mask);
    FILE *fp = fdopen(fd, "w");
    bool written = fp && fchmod(fd, 0666 & ~mask) == 0 &&
                   fwrite(file.text.data(), 1, file.text.size(), fp) == file.text.size();
    bool closed = fp ? fclose(fp) == 0 : close(fd) == 0;
    if (!written || !closed) {
        *error = failure(file.path, "can't be written");
        unlink(temporary->c_str());
        return false;
    }
    return true;
}

/* Without force, a hard link puts the file in place only if nothing is
 * there yet; where the file system has no hard links, a rename after a
 * check does. */
static bool put_in_place(const std::string &temporary, const std::string &path, bool force, std::string *error)
{
    if (!force) {
        if (link(temporary.c_str(), path.c_str()) == 0) {
            unlink(temporary.c_str());
            return true;
        }
        if (!check_replaceable(path, false, error))
            return false;
    }
    if (rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    *error = failure(path, "can't be put in place");
    return false;
}

bool write_all_or_none(const std::vector<OutputFile> &files, bool force, std::string *error)
{
    std::vector<std::string> temporaries;
    for (const OutputFile &file : files) {
        std::string temporary;
        if (!write_temporary(file, &temporary, error))
            break;
        temporaries.push_back(temporary);
    }
    size_t placed = 0;
    while (temporaries.size() == files.size() && placed < files.size() &&
           put_in_place(temporaries[placed], files[placed].path, force, error))
        placed++;
    if (placed == files.size())
        return true;
    /* Undo: without force the files put in place were new. */
    for (size_t i = 0; i < placed && !force; i++)
        unlink(files[i].path.c_str());
    for (size_t i = placed; i < temporaries.size(); i++)
        unlink(temporaries[i].c_str());
    return false;
}
