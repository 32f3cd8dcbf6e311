#include "file_io.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <sstream>
#include <vector>

std::string base_name(const std::string &path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

static bool is_program(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string find_on_path(const std::string &program)
{
    const char *path = getenv("PATH");
    std::stringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (is_program(candidate))
            return candidate;
    }
    return "";
}

std::string find_beside_or_on_path(const std::string &program)
{
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string own(self, (size_t)n);
        std::string beside = own.substr(0, own.rfind('/') + 1) + program;
        if (is_program(beside))
            return beside;
    }
    return find_on_path(program);
}

bool read_whole_file(const std::string &path, size_t limit, const char *too_large, std::vector<uint8_t> *bytes,
                     std::string *error)
{
    FILE *fp = fopen(path.c_str(), "rb");
    struct stat st;
    if (!fp || fstat(fileno(fp), &st) != 0 || S_ISDIR(st.st_mode)) {
        *error = path + ": can't be read: " + (fp ? "it is a folder" : strerror(errno));
        if (fp)
            fclose(fp);
        return false;
    }
    if (S_ISREG(st.st_mode) && (size_t)st.st_size <= limit)
        bytes->reserve((size_t)st.st_size);
    uint8_t chunk[65536];
    size_t got;
    while (bytes->size() <= limit && (got = fread(chunk, 1, sizeof chunk, fp)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + got);
    bool failed = ferror(fp);
    fclose(fp);
    if (failed || bytes->size() > limit) {
        *error = path + (failed ? ": can't be read: " + std::string(strerror(errno)) : ": " + std::string(too_large));
        return false;
    }
    return true;
}

bool map_whole_file(const std::string &path, size_t limit, const char *too_large, MappedFile *file, std::string *error)
{
    *file = MappedFile();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && (size_t)st.st_size <= limit) {
        void *mapping = mmap(nullptr, (size_t)st.st_size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        close(fd);
        if (mapping != MAP_FAILED) {
            file->mapping = mapping;
            file->data = (const uint8_t *)mapping;
            file->size = (size_t)st.st_size;
            return true;
        }
    } else if (fd >= 0) {
        close(fd);
    }
    if (!read_whole_file(path, limit, too_large, &file->bytes, error))
        return false;
    file->data = file->bytes.data();
    file->size = file->bytes.size();
    return true;
}

void unmap_whole_file(MappedFile *file)
{
    if (file->mapping)
        munmap(file->mapping, file->size);
    *file = MappedFile();
}

void guard_input(OutputGuard *guard, const std::string &path, const char *what)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0)
        guard->inputs.push_back({st.st_dev, st.st_ino, what});
}

/* The input that path is (through any name or link), or nullptr. */
static const ReadFile *input_at(const struct stat &st, const OutputGuard &guard)
{
    for (const ReadFile &input : guard.inputs)
        if (input.device == st.st_dev && input.inode == st.st_ino)
            return &input;
    return nullptr;
}

bool check_output(const std::string &path, const OutputGuard &guard, std::string *error)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return true;
    struct stat target = st;
    if (S_ISLNK(st.st_mode) && stat(path.c_str(), &target) != 0)
        target = st;
    if (S_ISDIR(target.st_mode))
        *error = path + ": is a folder; give the name of a file to write";
    else if (!S_ISREG(target.st_mode) && !S_ISLNK(target.st_mode)) /* a device, a FIFO, a socket (a link to
                                                                       nothing is replaced as a file) */
        *error = path + ": is not a regular file; it is not replaced";
    else if (const ReadFile *input = input_at(target, guard))
        *error = path + ": is the " + input->what + " being read; choose another name";
    else if (guard.is_kept && guard.is_kept(path))
        *error = path + ": is " + guard.kept + ", not " + guard.writes + "; it is not replaced";
    else if (!guard.force)
        *error = path + ": exists; --force replaces it, and without it the file is left untouched";
    else
        return true;
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

/* Temporaries not yet put in place or removed: removed on SIGINT, SIGTERM
 * and SIGHUP before the signal ends the program, so that an interrupted
 * run leaves nothing half-written. Fixed storage, as the handler may not
 * allocate; noted and forgotten on the thread that writes the outputs. */
enum { PENDING_TEMPORARIES = 32, TEMPORARY_PATH = 4096 };
static char pending[PENDING_TEMPORARIES][TEMPORARY_PATH];
static volatile sig_atomic_t handler_installed = 0;

static void remove_pending_and_end(int signal_number)
{
    for (int i = 0; i < PENDING_TEMPORARIES; i++)
        if (pending[i][0])
            unlink(pending[i]);
    ::signal(signal_number, SIG_DFL);
    raise(signal_number);
}

/* The handler for the signals that end a program, where nothing else handles or ignores them. */
static void install_handler(void)
{
    if (handler_installed)
        return;
    handler_installed = 1;
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old, now;
        memset(&now, 0, sizeof now);
        now.sa_handler = remove_pending_and_end;
        sigemptyset(&now.sa_mask);
        if (sigaction(signal_number, nullptr, &old) == 0 && old.sa_handler == SIG_DFL)
            sigaction(signal_number, &now, nullptr);
    }
}

/* The path's first byte is written last, so that a signal never finds half of it. */
static void note_temporary(const std::string &temporary)
{
    install_handler();
    for (int i = 0; i < PENDING_TEMPORARIES; i++)
        if (!pending[i][0] && !temporary.empty() && temporary.size() < TEMPORARY_PATH) {
            memcpy(pending[i] + 1, temporary.c_str() + 1, temporary.size());
            std::atomic_signal_fence(std::memory_order_seq_cst);
            pending[i][0] = temporary[0];
            return;
        }
}

static void forget_temporary(const std::string &temporary)
{
    for (int i = 0; i < PENDING_TEMPORARIES; i++)
        if (pending[i][0] && temporary == pending[i])
            pending[i][0] = '\0';
}

/* The temporary removed, and no longer removed on a signal. */
static void remove_temporary(const std::string &temporary)
{
    unlink(temporary.c_str());
    forget_temporary(temporary);
}

void remove_temporaries(const std::vector<std::string> &temporaries)
{
    for (const std::string &t : temporaries)
        remove_temporary(t);
}

/* A new file beside path, open; -1 on failure. */
static int open_temporary(const std::string &path, std::string *temporary, std::string *error)
{
    std::string name = folder_of(path) + "/.mienscope-XXXXXX";
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    int fd = mkstemp(buffer.data());
    if (fd < 0) {
        *error = failure(path, "can't be created");
        return fd;
    }
    *temporary = buffer.data();
    note_temporary(*temporary);
    return fd;
}

bool make_temporary_beside(const std::string &path, std::string *temporary, std::string *error)
{
    int fd = open_temporary(path, temporary, error);
    return fd >= 0 && close(fd) == 0;
}

/* The text in a new file beside `path`, readable as umask allows. */
static bool write_temporary(const OutputFile &file, std::string *temporary, std::string *error)
{
    int fd = open_temporary(file.path, temporary, error);
    if (fd < 0)
        return false;
    mode_t mask = umask(0);
    umask(mask);
    FILE *fp = fdopen(fd, "w");
    bool written = fp && fchmod(fd, 0666 & ~mask) == 0 &&
                   fwrite(file.text.data(), 1, file.text.size(), fp) == file.text.size();
    bool closed = fp ? fclose(fp) == 0 : close(fd) == 0;
    if (!written || !closed) {
        *error = failure(file.path, "can't be written");
        remove_temporary(*temporary);
        return false;
    }
    return true;
}

/* Without force, a hard link puts the file in place only if nothing is
 * there yet; otherwise a rename after the check does, which refuses an
 * input or a kept file even with force. */
static bool put_in_place(const std::string &temporary, const std::string &path, const OutputGuard &guard,
                         std::string *error)
{
    if (!guard.force && link(temporary.c_str(), path.c_str()) == 0) {
        remove_temporary(temporary);
        return true;
    }
    if (!check_output(path, guard, error))
        return false;
    if (rename(temporary.c_str(), path.c_str()) == 0) {
        forget_temporary(temporary);
        return true;
    }
    *error = failure(path, "can't be put in place");
    return false;
}

/* Puts every temporary in place or, on any failure, none: without force
 * the files put in place before the failure were new, and go again. */
static bool place_all(const std::vector<std::string> &temporaries, const std::vector<std::string> &paths,
                      const OutputGuard &guard, std::string *error)
{
    size_t placed = 0;
    while (placed < paths.size() && put_in_place(temporaries[placed], paths[placed], guard, error))
        placed++;
    if (placed == paths.size())
        return true;
    for (size_t i = 0; i < placed && !guard.force; i++)
        unlink(paths[i].c_str());
    for (size_t i = placed; i < temporaries.size(); i++)
        remove_temporary(temporaries[i]);
    return false;
}

bool place_files(const std::vector<std::string> &temporaries, const std::vector<std::string> &paths,
                 const OutputGuard &guard, std::string *error)
{
    mode_t mask = umask(0);
    umask(mask);
    bool allowed = true;
    for (size_t i = 0; i < paths.size(); i++) {
        chmod(temporaries[i].c_str(), 0666 & ~mask);
        allowed = allowed && check_output(paths[i], guard, error);
    }
    if (allowed)
        return place_all(temporaries, paths, guard, error);
    remove_temporaries(temporaries);
    return false;
}

bool place_file(const std::string &temporary, const std::string &path, const OutputGuard &guard, std::string *error)
{
    return place_files({temporary}, {path}, guard, error);
}

bool write_all_or_none(const std::vector<OutputFile> &files, const OutputGuard &guard, std::string *error)
{
    for (const OutputFile &file : files)
        if (!check_output(file.path, guard, error))
            return false;
    std::vector<std::string> temporaries, paths;
    for (const OutputFile &file : files) {
        std::string temporary;
        if (!write_temporary(file, &temporary, error)) {
            remove_temporaries(temporaries);
            return false;
        }
        temporaries.push_back(temporary);
        paths.push_back(file.path);
    }
    return place_all(temporaries, paths, guard, error);
}

bool make_folders(const std::string &folder, std::string *error, std::vector<std::string> *made)
{
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        std::string part = folder.substr(0, slash);
        struct stat st;
        if (!part.empty() && stat(part.c_str(), &st) != 0) {
            bool created = mkdir(part.c_str(), 0777) == 0;
            if (!created && errno != EEXIST) {
                *error = failure(part, "can't be created");
                return false;
            }
            if (created && made)
                made->push_back(part);
        }
        if (slash == std::string::npos)
            return true;
    }
}

bool begin_staged_output(const std::string &folder, const OutputGuard &guard, StagedOutput *out, std::string *error)
{
    out->folder = folder;
    out->guard = guard;
    out->names.clear();
    out->made.clear();
    if (!make_folders(folder, error, &out->made))
        return false;
    std::string pattern = folder + "/.mienscope-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) {
        *error = failure(folder, "can't be written in");
        abandon_staged_output(out);
        return false;
    }
    out->staging = buffer.data();
    return true;
}

bool begin_scratch_output(StagedOutput *out, std::string *error)
{
    const char *tmp = getenv("TMPDIR");
    return begin_staged_output(tmp && *tmp ? tmp : "/tmp", OutputGuard(), out, error);
}

bool stage_folder(StagedOutput *out, const std::string &name, std::string *error)
{
    return make_folders(out->staging + "/" + name, error);
}

bool stage_file(StagedOutput *out, const std::string &name, const std::string &text, std::string *error)
{
    std::string path = out->staging + "/" + name;
    if (name.find('/') != std::string::npos && !make_folders(folder_of(path), error))
        return false;
    FILE *fp = fopen(path.c_str(), "wx");
    bool written = fp && fwrite(text.data(), 1, text.size(), fp) == text.size();
    if (!(fp && fclose(fp) == 0 && written)) {
        *error = failure(out->folder + "/" + name, "can't be written");
        return false;
    }
    out->names.push_back(name);
    return true;
}

/* A folder and everything in it; only what this program made is ever in one. */
static void remove_folder(const std::string &folder)
{
    if (DIR *dir = opendir(folder.c_str())) {
        while (struct dirent *entry = readdir(dir)) {
            std::string path = folder + "/" + entry->d_name;
            struct stat st;
            if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0 || lstat(path.c_str(), &st) != 0)
                continue;
            if (S_ISDIR(st.st_mode))
                remove_folder(path);
            else
                unlink(path.c_str());
        }
        closedir(dir);
    }
    rmdir(folder.c_str());
}

void abandon_staged_output(StagedOutput *out)
{
    if (!out->staging.empty())
        remove_folder(out->staging);
    out->staging.clear();
    for (auto made = out->made.rbegin(); made != out->made.rend(); ++made)
        rmdir(made->c_str());
    out->made.clear();
}

bool finish_staged_output(StagedOutput *out, std::string *error)
{
    std::vector<std::string> temporaries, paths;
    bool placed = true;
    for (const std::string &name : out->names) {
        temporaries.push_back(out->staging + "/" + name);
        paths.push_back(out->folder + "/" + name);
        placed = placed && check_output(paths.back(), out->guard, error);
    }
    for (size_t i = 0; i < paths.size() && placed; i++)
        placed = out->names[i].find('/') == std::string::npos || make_folders(folder_of(paths[i]), error);
    placed = placed && place_all(temporaries, paths, out->guard, error);
    if (placed)
        out->made.clear();
    abandon_staged_output(out);
    return placed;
}
