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

/* The real recordings beside the checkout; a test that needs one skips
 * without them. */
#define REQUIRE_TESTDATA(relative)                                                                         \
    if (!testdata_present(relative))                                                                       \
    GTEST_SKIP() << "no " << testdata_path(relative) << ": the shared test recordings are not beside this checkout"

std::string testdata_path(const std::string &relative);     /* ../shared/testdata/relative */
bool testdata_present(const std::string &relative);
Recording read_bytes(const std::vector<uint8_t> &bytes, std::string *error); /* read_recording, default options */
Recording read_path(const std::string &path);               /* a file read whole; fails the test on error */
ProgramRun run_import(const std::vector<std::string> &args); /* mienscope-import with these arguments */
std::string load_warnings(const std::string &marker_file, const std::string &line_file); /* what the viewer's loader prints */

#endif
