/* Small file helpers shared by the unit and window tests. */
#ifndef MIENSCOPE_TESTFILES_H
#define MIENSCOPE_TESTFILES_H

#include <map>
#include <string>
#include <utility>
#include <vector>

struct ProgramRun {
    int status = -1; /* exit status, -1 if it did not exit normally */
    std::string out, err;
};

std::string make_temp_folder();                                    /* a new empty folder under TMPDIR, removed at exit */
void write_file(const std::string &path, const std::string &text); /* creates or replaces */
std::string read_file(const std::string &path);                    /* "" if it can't be read */
std::string temp_file(const std::string &text);                    /* text in a new file; returns its path */
double now_seconds();                                              /* a monotonic clock, for deadlines and timings */
/* A CSV table's rows as fields by the header's names; for tables whose fields hold no comma. */
std::vector<std::map<std::string, std::string>> table_rows(const std::string &text);
/* Width and height in pixels from a PNG's signature and IHDR chunk; 0 x 0 if it is not one. */
std::pair<unsigned, unsigned> png_size(const std::string &path);
/* Runs a program with these arguments, standard output and error kept; path, if not "", is its PATH;
 * folder, if not "", its working directory; no_display unsets DISPLAY. */
ProgramRun run_program(const std::string &binary, const std::vector<std::string> &args, const std::string &path = "",
                       const std::string &folder = "", bool no_display = false);

/* The real recordings beside the checkout; a test that needs one skips
 * without them. */
#define REQUIRE_TESTDATA(relative)                                                                         \
    do {                                                                                                   \
        if (!testdata_present(relative))                                                                   \
            GTEST_SKIP() << "no " << testdata_path(relative)                                               \
                         << ": the shared test recordings are not beside this checkout";                   \
    } while (0)

std::string testdata_path(const std::string &relative);     /* ../shared/testdata/relative */
bool testdata_present(const std::string &relative);

#endif
