#include "testfiles.h"

#include <stdlib.h>

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

std::string temp_file(const std::string &text)
{
    std::string path = make_temp_folder() + "/data.txt";
    write_file(path, text);
    return path;
}
