/* Helpers shared by the importer's tests. */
#ifndef MIENSCOPE_IMPORTFILES_H
#define MIENSCOPE_IMPORTFILES_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "c3d.h"
#include "detect.h"
#include "openface.h"
#include "recording.h"
#include "testfiles.h"
#include "trc.h"

Recording read_bytes(const std::vector<uint8_t> &bytes, std::string *error); /* read_recording, default options */
Recording read_path(const std::string &path);               /* a file read whole; fails the test on error */
ProgramRun run_import(const std::vector<std::string> &args); /* mienscope-import with these arguments */
std::string load_warnings(const std::string &marker_file, const std::string &line_file); /* what the viewer's loader prints */

#endif
