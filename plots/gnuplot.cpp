#include "gnuplot.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

const char gnuplot_missing[] =
    "gnuplot is not on PATH, so the plots were not drawn; the tables and plots.gp are written. "
    "Install gnuplot (on Debian: apt install gnuplot-nox) and run \"gnuplot plots.gp\" in this folder";

std::string gnuplot_string(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += '\'';
        quoted += (unsigned char)c < 0x20 ? '?' : c;
    }
    return quoted + "'";
}

std::string gnuplot_number_array(const std::string &name, const std::vector<std::string> &numbers)
{
    std::string line = "array " + name + "[" + std::to_string(numbers.size()) + "] = [";
    for (size_t i = 0; i < numbers.size(); i++)
        line += (i ? ", " : "") + numbers[i];
    return line + "]\n";
}

std::string gnuplot_array(const std::string &name, const std::vector<std::string> &texts)
{
    std::vector<std::string> quoted;
    for (const std::string &text : texts)
        quoted.push_back(gnuplot_string(text));
    return gnuplot_number_array(name, quoted);
}

std::string gnuplot_pictures(const std::string &name, int width, int height)
{
    std::string size = std::to_string(width) + "," + std::to_string(height);
    return "do for [picture in 'png svg'] {\n"
           "    if (picture eq 'png') {\n"
           "        set terminal pngcairo size " + size + " noenhanced font ',10'\n"
           "    } else {\n"
           "        set terminal svg size " + size + " noenhanced font ',10'\n"
           "    }\n"
           "    set output " + gnuplot_string(name + ".") + ".picture\n";
}

/* The last line gnuplot wrote, for a message. */
static std::string last_line(const std::string &path)
{
    std::ifstream in(path);
    std::string line, last = "it wrote no message";
    while (std::getline(in, line))
        if (!line.empty())
            last = line;
    return last;
}

bool run_gnuplot(const std::string &gnuplot, const std::string &folder, const std::string &script, std::string *error)
{
    std::string messages = folder + "/.gnuplot-messages";
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(messages.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || chdir(folder.c_str()) != 0)
            _exit(126);
        dup2(fd, 1);
        dup2(fd, 2);
        execl(gnuplot.c_str(), "gnuplot", script.c_str(), (char *)nullptr);
        _exit(127);
    }
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    *error = "gnuplot failed (" + (pid < 0 ? std::string("it could not be started") : last_line(messages)) +
             "); nothing was written";
    return false;
}

static bool check_names(const std::string &folder, const OutputGuard &guard, const std::vector<OutputFile> &texts,
                        const std::vector<std::string> &pictures, std::string *error)
{
    for (const OutputFile &text : texts)
        if (!check_output(folder + "/" + text.path, guard, error))
            return false;
    for (const std::string &picture : pictures)
        if (!check_output(folder + "/" + picture, guard, error))
            return false;
    return true;
}

bool write_with_plots(const std::string &folder, const OutputGuard &guard, const std::vector<OutputFile> &texts,
                      const std::string &gnuplot, const std::vector<std::string> &pictures, std::string *error)
{
    StagedOutput out;
    if (!check_names(folder, guard, texts, pictures, error) || !begin_staged_output(folder, guard, &out, error))
        return false;
    bool staged = true;
    for (const OutputFile &text : texts)
        staged = staged && stage_file(&out, text.path, text.text, error);
    for (const std::string &picture : pictures)
        if (staged && picture.find('/') != std::string::npos)
            staged = stage_folder(&out, picture.substr(0, picture.find_last_of('/')), error);
    if (staged && !gnuplot.empty()) {
        staged = run_gnuplot(gnuplot, out.staging, "plots.gp", error);
        out.names.insert(out.names.end(), pictures.begin(), pictures.end());
    }
    if (staged)
        return finish_staged_output(&out, error);
    abandon_staged_output(&out);
    return false;
}

bool draw_in_scratch(const std::string &gnuplot, const std::vector<OutputFile> &texts, const std::string &script,
                     const std::vector<std::string> &pictures, std::vector<std::string> *drawn, std::string *error)
{
    StagedOutput scratch;
    if (!begin_scratch_output(&scratch, error))
        return false;
    bool ok = true;
    for (const OutputFile &text : texts)
        ok = ok && stage_file(&scratch, text.path, text.text, error);
    ok = ok && run_gnuplot(gnuplot, scratch.staging, script, error);
    for (const std::string &picture : pictures) {
        std::ifstream in(scratch.staging + "/" + picture, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        drawn->push_back(ok ? text.str() : "");
    }
    abandon_staged_output(&scratch);
    return ok;
}
