#include "testfiles.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <vector>

std::string make_temp_folder()
{
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp ? tmp : "/tmp") + "/mienscope-test-XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    return mkdtemp(path.data()) ? std::string(path.data()) : std::string();
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
