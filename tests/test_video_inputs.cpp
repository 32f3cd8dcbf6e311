/* Every program opens a video wherever it takes a recording: told by its
 * content, tracked by mienscope-track as a process of its own, and read as
 * the OpenFace table that writes, with the options passed on. */
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "testfiles.h"
#include "videos.h"

using testing::HasSubstr;
using testing::StartsWith;

static std::string program(const char *name)
{
    std::string track = TRACK_BINARY;
    return track.substr(0, track.rfind('/') + 1) + name;
}

/* Each test has a cache of its own. */
class VideoInputs : public testing::Test {
  protected:
    void SetUp() override { setenv("XDG_CACHE_HOME", make_temp_folder().c_str(), 1); }
};

TEST_F(VideoInputs, TheImporterGivesTheSameMarkerFileFromTheVideoAsFromItsTable)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string video = testdata_path("video/single_face.mp4"), folder = make_temp_folder();
    ASSERT_EQ(run_program(TRACK_BINARY, {video, folder + "/table.csv"}).status, 0);
    ProgramRun from_video = run_program(program("mienscope-import"), {video, folder + "/video.dat"});
    ProgramRun from_table = run_program(program("mienscope-import"), {folder + "/table.csv", folder + "/table.dat"});
    ASSERT_EQ(from_video.status, 0) << from_video.err;
    ASSERT_EQ(from_table.status, 0) << from_table.err;
    EXPECT_EQ(read_file(folder + "/video.dat"), read_file(folder + "/table.dat"));
    EXPECT_EQ(from_video.err, video + ": no --markers given, so the built-in openface-24.set was used\n");

    ProgramRun list = run_program(program("mienscope-import"), {"--list", video});
    EXPECT_THAT(list.out, StartsWith("format: OpenFace CSV\npoints: 68\nframes: 72\n"));
}

TEST_F(VideoInputs, AVideoIsToldByItsContentAndFoldersHoldThem)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string folder = make_temp_folder(), video = testdata_path("video/single_face.mp4");
    write_file(folder + "/clip.dat.bin", read_file(video));
    write_file(folder + "/TAKE.MOV", read_file(video));
    write_file(folder + "/notes.mp4", "frame, a text file with a video's name\n");
    ProgramRun named = run_program(program("mienscope-measure"), {folder + "/clip.dat.bin"});
    ASSERT_EQ(named.status, 0) << named.err;
    auto markers = table_rows(named.out);
    ASSERT_EQ(markers.size(), 24u);
    EXPECT_EQ(markers[15]["label"], "RMouth") << "landmark 48, named as the face24 set names it";
    EXPECT_GT(strtod(markers[15]["peak_mm"].c_str(), nullptr), 5.0) << "the mouth corner moves in the smile";

    ProgramRun text = run_program(program("mienscope-measure"), {folder + "/notes.mp4"});
    EXPECT_EQ(text.status, 1);
    EXPECT_THAT(text.err, HasSubstr(folder + "/notes.mp4: \"frame,\" in position 0 (frame 0, marker 0) is not a number"));

    unlink((folder + "/notes.mp4").c_str());
    unlink((folder + "/clip.dat.bin").c_str());
    ProgramRun whole = run_program(program("mienscope-measure"), {folder});
    ASSERT_EQ(whole.status, 0) << whole.err;
    EXPECT_THAT(whole.out, HasSubstr("\n" + folder + "/TAKE.MOV,15,RMouth,"));

    /* A name that starts with '-', after "--", reaches the tracker as a name too. */
    write_file(folder + "/-clip.mp4", read_file(video));
    ProgramRun dashed = run_program(program("mienscope-measure"), {"--", "-clip.mp4"}, "", folder);
    ASSERT_EQ(dashed.status, 0) << dashed.err;
    EXPECT_THAT(dashed.out, HasSubstr("\n-clip.mp4,15,RMouth,"));
}

TEST_F(VideoInputs, TheTrackersOptionsArePassedOnAndItsAbsenceSaid)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string video = testdata_path("video/single_face.mp4");
    auto peak = [&](const std::vector<std::string> &options) {
        std::vector<std::string> args = options;
        args.push_back(video);
        ProgramRun run = run_program(program("mienscope-measure"), args);
        EXPECT_EQ(run.status, 0) << run.err;
        return strtod(table_rows(run.out)[19]["peak_mm"].c_str(), nullptr);
    };
    auto kept_tables = [] {
        std::string found = run_program("/usr/bin/find", {getenv("XDG_CACHE_HOME"), "-name", "*.csv"}).out;
        return std::count(found.begin(), found.end(), '\n');
    };
    double usual = peak({});
    EXPECT_EQ(kept_tables(), 1) << "the table kept";
    double wide = peak({"--eye-distance", "70", "--no-cache"});
    EXPECT_NEAR(wide, usual * 70 / 63, 2e-4) << "every millimetre scales with the eye distance";
    EXPECT_EQ(kept_tables(), 1) << "--no-cache passed on: the other eye distance's table is not kept";
    ProgramRun run = run_program(program("mienscope-measure"), {"--model", "/nonexistent.dat", "--no-cache", video});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "/nonexistent.dat: can't be read: No such file or directory\n");
    run = run_program(program("mienscope-measure"), {"--eye-distance", "-4", video});
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, StartsWith("mienscope-measure: --eye-distance \"-4\" is not a number of millimetres above 0\n"));

    /* A program alone, mienscope-track neither beside it nor on PATH. */
    std::string alone = make_temp_folder() + "/mienscope-measure";
    write_file(alone, read_file(program("mienscope-measure")));
    chmod(alone.c_str(), 0755);
    run = run_program(alone, {video}, "/nonexistent");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, video + ": opening a video needs mienscope-track (package mienscope-track)\n");
}

/* The width and height in the header of the PNG that the page's first image after `tag` holds as base64; 0, 0
 * when there is none. The header's first 24 bytes are the first 32 characters. */
static std::pair<unsigned, unsigned> embedded_png_size(const std::string &page, const std::string &tag)
{
    const std::string code = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    size_t at = page.find(tag);
    at = at == std::string::npos ? at : page.find("base64,", at);
    if (at == std::string::npos || at + 7 + 32 > page.size())
        return {0, 0};
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < 32; i += 4) {
        uint32_t quad = 0;
        for (size_t k = 0; k < 4; k++)
            quad = quad << 6 | (uint32_t)code.find(page[at + 7 + i + k]);
        bytes.insert(bytes.end(), {(uint8_t)(quad >> 16), (uint8_t)(quad >> 8), (uint8_t)quad});
    }
    auto word = [&](size_t i) { return (unsigned)bytes[i] << 24 | bytes[i + 1] << 16 | bytes[i + 2] << 8 | bytes[i + 3]; };
    return {word(16), word(20)};
}

TEST_F(VideoInputs, AverageCompareRenderAndReportTakeVideos)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string folder = make_temp_folder(), messages;
    std::string video = testdata_path("video/single_face.mp4");
    std::string moved = filtered_video(folder, "moved.mp4", "pad=720:400:40:20");
    std::string smaller = filtered_video(folder, "smaller.mp4", "scale=560:316");
    ASSERT_FALSE(moved.empty() || smaller.empty());
    ProgramRun run = run_program(program("mienscope-average"), {"--out", folder + "/average", video, moved, smaller});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(table_rows(read_file(folder + "/average/scores.csv")).size(), 3u);

    write_file(folder + "/study.csv", "file,group\n" + video + ",norm\nmoved.mp4,norm\nsmaller.mp4,patients\n" +
                                          "again.mp4,norm\n");
    write_file(folder + "/again.mp4", read_file(video));
    run = run_program(program("mienscope-compare"), {"--norm", "norm", "--out", folder + "/norm", folder + "/study.csv"},
                      "/nonexistent");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, StartsWith("smaller.mp4: "));
    EXPECT_THAT(read_file(folder + "/norm/norm.csv"), HasSubstr("\nsmaller.mp4,patients,,,marker,RMouth,peak_mm,"));

    run = run_program(program("mienscope-render"), {video, folder + "/still.png"}, "", "", true);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(png_size(folder + "/still.png"), std::make_pair(640u, 1024u));

    /* The videos' frames are taken at once, and each page shows its own video's: the three differ in size. */
    run = run_program(program("mienscope-report"), {"--out", folder + "/report", video, moved, smaller},
                      "/nonexistent", "", true);
    ASSERT_EQ(run.status, 0) << run.err;
    std::string page = read_file(folder + "/report/single_face.html");
    EXPECT_THAT(page, HasSubstr("<dt>Format</dt><dd>video, tracked by mienscope-track</dd>"));
    EXPECT_THAT(page, HasSubstr("<img class=\"video-rest\" alt=\"The video at rest, frame 0 (0.00 s)\" "));
    EXPECT_THAT(page, HasSubstr("<img class=\"video-peak\" alt=\"The video at its peak, frame "));
    std::map<std::string, std::pair<unsigned, unsigned>> sizes = {
        {"single_face", {640, 360}}, {"moved", {720, 400}}, {"smaller", {560, 316}}};
    for (const auto &[name, size] : sizes) {
        page = read_file(folder + "/report/" + name + ".html");
        EXPECT_EQ(embedded_png_size(page, "<img class=\"video-rest\""), size) << name;
        EXPECT_EQ(embedded_png_size(page, "<img class=\"video-peak\""), size) << name;
    }
}

/* The pid of a mienscope-track whose parent is `parent`, within the deadline; 0 when none came. */
static pid_t tracker_of(pid_t parent, double seconds)
{
    for (double waited = 0; waited < seconds; waited += 0.01) {
        DIR *proc = opendir("/proc");
        while (struct dirent *e = proc ? readdir(proc) : nullptr) {
            std::string stat = read_file(std::string("/proc/") + e->d_name + "/stat");
            char name[64];
            int ppid = 0;
            if (sscanf(stat.c_str(), "%*d (%63[^)]) %*c %d", name, &ppid) == 2 && ppid == parent &&
                std::string(name) == "mienscope-track") {
                closedir(proc);
                return (pid_t)atoi(e->d_name);
            }
        }
        if (proc)
            closedir(proc);
        usleep(10000);
    }
    return 0;
}

/* Whether the process has ended (gone, or a zombie nobody has reaped yet), within the deadline. */
static bool ended_within(pid_t pid, double seconds)
{
    for (double waited = 0; waited < seconds; waited += 0.01) {
        std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
        char state = 0;
        if (stat.empty() || (sscanf(stat.c_str(), "%*d (%*[^)]) %c", &state) == 1 && state == 'Z'))
            return true;
        usleep(10000);
    }
    return false;
}

TEST_F(VideoInputs, AVideosFaceMeasuresSeeTheEyesNarrowInTheBroadSmile)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string out = make_temp_folder() + "/out";
    ProgramRun run = run_program(program("mienscope-measure"), {"--face-measures", "--out", out,
                                                                testdata_path("video/single_face.mp4")});
    ASSERT_EQ(run.status, 0) << run.err;
    /* Frames 0-30 at rest, 100-160 the broad smile (the mouth open, the corners up and out), on each side. */
    std::map<std::string, double> rest, smile;
    for (const auto &row : table_rows(read_file(out + "/face-curves.csv"))) {
        int frame = atoi(row.at("frame").c_str());
        std::string key = row.at("measure") + " " + row.at("side");
        if (frame <= 30)
            rest[key] += atof(row.at("value").c_str()) / 31;
        else if (frame >= 100 && frame <= 160)
            smile[key] += atof(row.at("value").c_str()) / 61;
    }
    for (const char *side : {"R", "L"}) {
        std::string eye = std::string("eye_opening_mm ") + side, corner = std::string("commissure_excursion_mm ") + side;
        EXPECT_LT(smile[eye], 0.9 * rest[eye]) << "the eye narrows by more than a tenth: " << eye;
        EXPECT_GT(smile[corner], rest[corner] + 10) << corner;
    }
    EXPECT_GT(smile["mouth_opening_mm "], rest["mouth_opening_mm "] + 8);
}

/* The numbers of an exam page's row: the cells after the item's label in the expression's rows. */
static std::vector<double> exam_cells(const std::string &page, const std::string &expression, const std::string &label)
{
    size_t from = page.find(">" + expression + "</th>");
    size_t to = from == std::string::npos ? from : page.find("<th", from + 1);
    size_t at = from == std::string::npos ? from : page.find("<td>" + label + "</td>", from);
    std::vector<double> cells;
    if (at == std::string::npos || at > to)
        return cells;
    size_t end = page.find("</tr>", at);
    for (at = page.find("</td>", at); (at = page.find("<td", at)) < end; at++)
        cells.push_back(atof(page.c_str() + page.find('>', at) + 1));
    return cells;
}

TEST_F(VideoInputs, AnExamOfTheSharedVideosIsGradedSideAgainstSide)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    /* The rest is the video's first 0.4 s (its face at rest); the smile the whole video, whose broad smile
     * narrows both eyes; the teeth the same video in a larger frame, which must grade alike. */
    std::string folder = make_temp_folder(), video = testdata_path("video/single_face.mp4");
    ASSERT_FALSE(filtered_video(folder, "rest.mp4", "trim=duration=0.4,setpts=PTS-STARTPTS").empty());
    ASSERT_FALSE(filtered_video(folder, "teeth.mp4", "pad=720:400:40:20").empty());
    write_file(folder + "/exam.csv", "file,group,subject,expression\nrest.mp4,a,p,rest\n" + video +
                                         ",a,p,Smile\nteeth.mp4,a,p,teeth\n");
    ProgramRun run = run_program(program("mienscope-report"), {"--out", folder + "/report", folder + "/exam.csv"},
                                 "/nonexistent", "", true);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(read_file(folder + "/report/index.html"), HasSubstr("href=\"p-exam.html\""));
    std::string page = read_file(folder + "/report/p-exam.html");
    for (const char *absent : {"brow", "eyes_gentle", "eyes_tight", "pucker"})
        EXPECT_THAT(page, HasSubstr(std::string("<th>") + absent + "</th><td colspan=\"4\">not recorded</td>"));

    std::vector<double> smile = exam_cells(page, "smile", "Commissure excursion (mm)");
    std::vector<double> teeth = exam_cells(page, "teeth", "Commissure excursion (mm)");
    std::vector<double> ocular = exam_cells(page, "smile", "Ocular synkinesis: eye closure (%)");
    ASSERT_EQ(smile.size(), 3u) << page;
    ASSERT_EQ(teeth.size(), 3u);
    ASSERT_EQ(ocular.size(), 3u);
    for (int side = 0; side < 2; side++) {
        EXPECT_GT(smile[side], 10.0) << "each corner travels more than 10 mm in the broad smile";
        EXPECT_NEAR(teeth[side], smile[side], 0.5) << "a larger frame changes no millimetre";
        EXPECT_GT(ocular[side], 10.0) << "each eye narrows by more than a tenth";
    }
    /* Of the movement score's expressions only smile and teeth are here: it is their excursion scores' mean. */
    size_t score = page.find("<dt>Movement score</dt><dd>");
    ASSERT_NE(score, std::string::npos);
    EXPECT_NEAR(atof(page.c_str() + score + 27), (smile[2] + teeth[2]) / 2, 0.5 + 1e-9);
    EXPECT_EQ(exam_cells(page, "rest", "Eye opening at rest (mm)").size(), 3u);
    EXPECT_THAT(page, HasSubstr("<figcaption>smile, frame "));
    EXPECT_EQ(embedded_png_size(page, "<img alt=\"smile, frame"), std::make_pair(640u, 360u));
    EXPECT_EQ(embedded_png_size(page, "<img alt=\"teeth, frame"), std::make_pair(720u, 400u));
    EXPECT_EQ(embedded_png_size(page, "<img alt=\"rest, frame"), std::make_pair(640u, 360u));
}

/* mienscope-measure on the path with a cache of its own, interrupted once its tracker runs (and, for a
 * folder, the tracker's first child): each must end with it, and nothing may be kept. */
static void interrupt_measure(const std::string &path)
{
    std::string cache = make_temp_folder(), measure = program("mienscope-measure");
    pid_t child = fork();
    if (child == 0) {
        setenv("XDG_CACHE_HOME", cache.c_str(), 1);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl(measure.c_str(), measure.c_str(), path.c_str(), (char *)nullptr);
        _exit(127);
    }
    pid_t tracker = tracker_of(child, 20), tracking = 0;
    ASSERT_NE(tracker, 0) << "mienscope-measure started no tracker";
    if (path.find(".mp4") == std::string::npos) { /* a folder: one tracker, a child of its own a video */
        tracking = tracker_of(tracker, 20);
        ASSERT_NE(tracking, 0) << "the tracker of the folder's videos started no child";
    }
    kill(child, SIGINT); /* to the program alone, not its process group */
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
    EXPECT_TRUE(ended_within(tracker, 2)) << "the tracker went on alone";
    if (tracking) {
        EXPECT_TRUE(ended_within(tracking, 2)) << "the tracker's child went on alone";
    }
    ProgramRun left = run_program("/usr/bin/find", {cache, "-type", "f"});
    EXPECT_EQ(left.out, "") << "a half-written cache file or a table kept for a run that did not end";
}

TEST_F(VideoInputs, AnInterruptedProgramTakesItsTrackerWithItAndNothingIsKept)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string folder = make_temp_folder(), messages;
    /* 96 s of video, several seconds of tracking: a tracker left alone would outlast the deadline below. */
    for (const char *name : {"/long.mp4", "/longer.mp4"})
        ASSERT_TRUE(ffmpeg({"-stream_loop", "39", "-i", testdata_path("video/single_face.mp4"), "-an", "-c:v",
                            "libx264", "-preset", "ultrafast", folder + name},
                           &messages))
            << messages;
    interrupt_measure(folder + "/long.mp4");
    interrupt_measure(folder);
}

TEST_F(VideoInputs, AFolderOfVideosIsTrackedAtOnceAndSaidInOrder)
{
    REQUIRE_TESTDATA("video/face_noface.mov");
    std::string folder = make_temp_folder(), single = read_file(testdata_path("video/single_face.mp4"));
    /* a: frames that can't be decoded; b: a cut, the same gap in every point; c: nothing to say. */
    std::string damaged = single;
    for (size_t at : {60000, 120000})
        damaged.replace(at, 3000, std::string(3000, '\0'));
    write_file(folder + "/a.mp4", damaged);
    write_file(folder + "/b.mov", read_file(testdata_path("video/face_noface.mov")));
    write_file(folder + "/c.mp4", single);
    ProgramRun all = run_program(program("mienscope-measure"), {"--markers", SOURCE_DIR "/examples/openface-24.set",
                                                                "--no-cache", folder});
    ASSERT_EQ(all.status, 0) << all.err;
    std::string alone_out, alone_err;
    for (const char *name : {"a.mp4", "b.mov", "c.mp4"}) {
        ProgramRun one = run_program(program("mienscope-measure"), {"--markers", SOURCE_DIR "/examples/openface-24.set",
                                                                    folder + "/" + name});
        ASSERT_EQ(one.status, 0) << one.err;
        alone_err += one.err;
        alone_out += one.out.substr(alone_out.empty() ? 0 : one.out.find('\n') + 1);
    }
    EXPECT_EQ(all.out, alone_out) << "the rows as when each is measured alone, in the folder's order";
    EXPECT_EQ(all.err, alone_err) << "the warnings likewise";
    EXPECT_THAT(all.err, testing::ContainsRegex("^" + folder + "/a.mp4: [0-9]+ frames could not be decoded; skipped "
                                                "them\n" + folder + "/b.mov: points \"[^\"]+\", \"[^\"]+\" and 28 "
                                                "more: filled 97 of 169 frames"));

    /* A video without a face among them fails the run with the line it has alone, after the warnings of
     * the files before it. */
    std::string messages;
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "color=c=gray:s=320x240:d=1", "-c:v", "libx264", folder + "/d.mp4"},
                       &messages))
        << messages;
    std::string set = SOURCE_DIR "/examples/openface-24.set";
    ProgramRun with_faceless = run_program(program("mienscope-measure"), {"--markers", set, folder});
    ProgramRun faceless = run_program(program("mienscope-measure"), {"--markers", set, folder + "/d.mp4"});
    EXPECT_EQ(with_faceless.status, 1);
    EXPECT_EQ(faceless.status, 1);
    EXPECT_THAT(faceless.err, HasSubstr("d.mp4: no face found in any of"));
    EXPECT_EQ(with_faceless.err, alone_err + faceless.err);

    ProgramRun refused = run_program(TRACK_BINARY, {"--tables-into", folder, "--force", folder + "/c.mp4"});
    EXPECT_EQ(refused.status, 2) << "--tables-into writes nothing but its tables";
}
