#include "importfiles.h"

#include <stdlib.h>
#include <unistd.h>

#include "head.h"
#include "testfiles.h"

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

ProgramRun run_import(const std::vector<std::string> &args)
{
    return run_program(IMPORT_BINARY, args);
}

std::string load_warnings(const std::string &marker_file, const std::string &line_file)
{
    testing::internal::CaptureStderr();
    FACE *face = new_face(line_file.c_str(), marker_file.c_str());
    free(face);
    return testing::internal::GetCapturedStderr();
}
