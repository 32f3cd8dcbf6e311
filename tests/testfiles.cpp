#include "testfiles.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

/* Every folder made here goes when the test program ends. */
struct TempFolders {
    std::vector<std::string> paths;
    ~TempFolders()
    {
        std::error_code ignored;
        for (const std::string &path : paths)
            std::filesystem::remove_all(path, ignored);
    }
};
static TempFolders temp_folders;

std::string make_temp_folder()
{
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp ? tmp : "/tmp") + "/mienscope-test-XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    if (!mkdtemp(path.data()))
        return std::string();
    temp_folders.paths.push_back(path.data());
    return path.data();
}

void write_file(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::map<std::string, std::string>> table_rows(const std::string &text)
{
    std::istringstream lines(text);
    std::string line;
    std::vector<std::string> header;
    std::vector<std::map<std::string, std::string>> rows;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream cells(line + ",");
        std::string cell;
        while (std::getline(cells, cell, ','))
            fields.push_back(cell);
        if (header.empty()) {
            header = fields;
            continue;
        }
        std::map<std::string, std::string> row;
        for (size_t i = 0; i < header.size() && i < fields.size(); i++)
            row[header[i]] = fields[i];
        rows.push_back(row);
    }
    return rows;
}

std::string testdata_path(const std::string &relative)
{
    return std::string(TESTDATA_DIR) + "/" + relative;
}

bool testdata_present(const std::string &relative)
{
    return access(testdata_path(relative).c_str(), R_OK) == 0;
}

std::string temp_file(const std::string &text)
{
    std::string path = make_temp_folder() + "/data.txt";
    write_file(path, text);
    return path;
}

ProgramRun run_program(const std::string &binary, const std::vector<std::string> &args, const std::string &path,
                       const std::string &folder, bool no_display)
{
    std::string kept = make_temp_folder();
    std::string out = kept + "/out", err = kept + "/err";
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char *> argv = {(char *)binary.c_str()};
        for (const std::string &a : args)
            argv.push_back((char *)a.c_str());
        argv.push_back(nullptr);
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        if (!path.empty())
            setenv("PATH", path.c_str(), 1);
        if (no_display)
            unsetenv("DISPLAY");
        if (!folder.empty() && chdir(folder.c_str()) != 0)
            _exit(126);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ProgramRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = read_file(out);
    run.err = read_file(err);
    return run;
}

double now_seconds()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

std::pair<unsigned, unsigned> png_size(const std::string &path)
{
    std::string bytes = read_file(path);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    auto word = [&](size_t at) {
        return (unsigned)(unsigned char)bytes[at] << 24 | (unsigned)(unsigned char)bytes[at + 1] << 16 |
               (unsigned)(unsigned char)bytes[at + 2] << 8 | (unsigned)(unsigned char)bytes[at + 3];
    };
    return {word(16), word(20)};
}
