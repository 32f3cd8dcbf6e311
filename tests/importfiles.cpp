#include "importfiles.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "head.h"
#include "testfiles.h"

std::string testdata_path(const std::string &relative)
{
    return std::string(TESTDATA_DIR) + "/" + relative;
}

bool testdata_present(const std::string &relative)
{
    return access(testdata_path(relative).c_str(), R_OK) == 0;
}

Recording read_bytes(const std::vector<uint8_t> &bytes, std::string *error)
{
    Recording rec;
    error->clear();
    if (!read_recording(bytes.data(), bytes.size(), ReadOptions(), &rec, error) && error->empty())
        *error = "failed without a message";
    return rec;
}

Recording read_path(const std::string &path)
{
    std::string text = read_file(path), error;
    Recording rec = read_bytes(std::vector<uint8_t>(text.begin(), text.end()), &error);
    EXPECT_EQ(error, "") << path;
    return rec;
}

/* Runs the program with its standard output and error in files. */
ProgramRun run_import(const std::vector<std::string> &args)
{
    std::string folder = make_temp_folder();
    std::string out = folder + "/out", err = folder + "/err";
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char *> argv = {(char *)IMPORT_BINARY};
        for (const std::string &a : args)
            argv.push_back((char *)a.c_str());
        argv.push_back(nullptr);
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        execv(IMPORT_BINARY, argv.data());
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

std::string load_warnings(const std::string &marker_file, const std::string &line_file)
{
    testing::internal::CaptureStderr();
    FACE *face = new_face(line_file.c_str(), marker_file.c_str());
    free(face);
    return testing::internal::GetCapturedStderr();
}
