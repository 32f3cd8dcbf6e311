/* mienscope-track as a user runs it, on the shared test videos and on
 * videos FFmpeg makes from them: what a user would notice (a smile widens
 * the mouth, a mirrored video swaps the sides, a moved, turned or zoomed
 * picture measures the same, frames without the face fail), the cache,
 * the pictures to trust it by, and bad input. */
#include <dirent.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "decode.h"
#include "models.h"
#include "testfiles.h"
#include "videos.h"
#include "xharness.h"

using testing::HasSubstr;
using testing::StartsWith;

static const char model_path[] = "/usr/share/dlib/shape_predictor_68_face_landmarks.dat";

/* Each test has a cache of its own. */
class Track : public testing::Test {
  protected:
    std::string cache;
    void SetUp() override
    {
        cache = make_temp_folder();
        setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    }
};

static ProgramRun track(const std::vector<std::string> &args)
{
    return run_program(TRACK_BINARY, args);
}

static std::vector<std::string> entries(const std::string &folder)
{
    std::vector<std::string> names;
    DIR *dir = opendir(folder.c_str());
    while (struct dirent *e = dir ? readdir(dir) : nullptr)
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            names.push_back(e->d_name);
    if (dir)
        closedir(dir);
    return names;
}

/* The tracker's table of a video, to standard output. */
static FaceTable tracked(const std::string &video, const std::vector<std::string> &options = {})
{
    std::vector<std::string> args = options;
    args.insert(args.end(), {video, "-"});
    ProgramRun run = track(args);
    EXPECT_EQ(run.status, 0) << video << ": " << run.err;
    return face_table(run.out);
}

TEST_F(Track, ASmileWidensTheMouthFrameByFrameInItsOwnTime)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    FaceTable t = tracked(testdata_path("video/single_face.mp4"));
    ASSERT_EQ(t.rows.size(), 72u) << "one row a frame";
    ASSERT_EQ(t.columns.size(), 5u + 5 * 68 + 1);
    EXPECT_EQ(t.columns[0], "frame");
    EXPECT_EQ(t.columns[5], "x_0");
    EXPECT_EQ(t.columns[5 + 4 * 68], "Z_0");
    size_t fractions = 0;
    for (size_t f = 0; f < t.rows.size(); f++) {
        const auto &row = t.rows[f];
        EXPECT_EQ(row.at("frame"), std::to_string(f + 1));
        EXPECT_EQ(row.at("success"), "1");
        EXPECT_EQ(row.at("confidence"), "1") << "the importer drops rows below 0.8";
        char time[32]; /* 30 frames a second, timed from the first */
        snprintf(time, sizeof time, "%.6f", f / 30.0);
        EXPECT_EQ(row.at("timestamp"), time);
        fractions += number(row, "x_48") != floor(number(row, "x_48"));
        EXPECT_EQ(number(row, "Z_30"), 0.0);
        /* The eyes' centres (means of 36-41 and 42-47) lie the eye distance apart in millimetres; the
         * millimetres are the pixels about the picture's centre, (320, 180) in 640 x 360, times the eyes'
         * 63 mm over their distance in pixels. */
        double mm[2][2] = {{0, 0}, {0, 0}}, px[2][2] = {{0, 0}, {0, 0}};
        for (int eye = 0; eye < 2; eye++)
            for (int i = 36 + 6 * eye; i < 42 + 6 * eye; i++)
                for (int a = 0; a < 2; a++) {
                    mm[eye][a] += number(row, std::string(a ? "Y_" : "X_") + std::to_string(i)) / 6;
                    px[eye][a] += number(row, std::string(a ? "y_" : "x_") + std::to_string(i)) / 6;
                }
        EXPECT_NEAR(hypot(mm[1][0] - mm[0][0], mm[1][1] - mm[0][1]), 63.0, 0.002);
        double eyes_px = hypot(px[1][0] - px[0][0], px[1][1] - px[0][1]);
        for (int i : {8, 30, 48}) {
            EXPECT_NEAR(number(row, "X_" + std::to_string(i)), (number(row, "x_" + std::to_string(i)) - 320) * 63 / eyes_px,
                        0.01) << "frame " << f << " point " << i;
            EXPECT_NEAR(number(row, "Y_" + std::to_string(i)), (number(row, "y_" + std::to_string(i)) - 180) * 63 / eyes_px,
                        0.01) << "frame " << f << " point " << i;
        }
    }
    EXPECT_GT(fractions, 60u) << "points keep their fractions of a pixel";
    /* Neutral at first, a broad smile at the end: the mouth corners (48, 54) far further apart. */
    double neutral = mean_distance(t, 0, 10, 48, 54), smile = mean_distance(t, 52, 72, 48, 54);
    EXPECT_GT(smile / neutral, 1.25) << neutral << " mm, then " << smile << " mm";
    /* The image's right is the subject's left: 54 lies right of 48, the eyes above the mouth. */
    EXPECT_GT(number(t.rows[0], "x_54"), number(t.rows[0], "x_48"));
    EXPECT_LT(number(t.rows[0], "y_36"), number(t.rows[0], "y_48"));

    /* A stream that starts at 2 s (FFmpeg says its first frame's time is 2.000000): times from its first. */
    std::string later = make_temp_folder() + "/later.mp4", messages;
    ASSERT_TRUE(ffmpeg({"-i", testdata_path("video/single_face.mp4"), "-an", "-c", "copy", "-output_ts_offset", "2", later},
                       &messages)) << messages;
    ProgramRun start = run_program("/usr/bin/ffprobe", {"-v", "error", "-select_streams", "v", "-read_intervals", "%+#1",
                                                         "-show_entries", "frame=best_effort_timestamp_time", "-of",
                                                         "csv=p=0", later});
    ASSERT_THAT(start.out, StartsWith("2.000000"));
    FaceTable shifted = tracked(later);
    ASSERT_EQ(shifted.rows.size(), 72u);
    EXPECT_EQ(shifted.rows[0].at("timestamp"), "0.000000");
    EXPECT_EQ(shifted.rows[71].at("timestamp"), t.rows[71].at("timestamp"));

    /* Another eye distance scales every millimetre by its ratio. */
    FaceTable wide = tracked(testdata_path("video/single_face.mp4"), {"--eye-distance", "70"});
    EXPECT_NEAR(mean_distance(wide, 0, 10, 48, 54), neutral * 70 / 63, 0.01);
    EXPECT_EQ(wide.rows[5].at("x_48"), t.rows[5].at("x_48")) << "pixels stay as they are";
}

TEST_F(Track, FramesWithoutTheFaceAreFailedAndACoveredFaceToo)
{
    REQUIRE_TESTDATA("video/face_noface.mov");
    FaceTable t = tracked(testdata_path("video/face_noface.mov"));
    ASSERT_EQ(t.rows.size(), 169u);
    for (size_t f = 0; f < t.rows.size(); f++) {
        const auto &row = t.rows[f];
        EXPECT_EQ(row.at("success"), f < 72 ? "1" : "0") << "frame " << f + 1;
        if (f >= 72) {
            EXPECT_EQ(row.at("confidence"), "0");
            EXPECT_EQ(number(row, "x_30") + number(row, "X_30") + number(row, "Y_67"), 0.0);
        }
        if (f > 0) {
            EXPECT_GT(number(row, "timestamp"), number(t.rows[f - 1], "timestamp"));
        }
    }

    /* A black box over the whole face in frames 30 to 45 (from 0): those fail, none else. A small one over
     * the mouth alone leaves the face to the detector, and no frame fails. */
    std::string folder = make_temp_folder();
    std::string covered = filtered_video(folder, "covered.mp4", "drawbox=x=150:y=40:w=300:h=320:c=black:t=fill:"
                                                                "enable='between(n,30,45)'");
    std::string hand = filtered_video(folder, "hand.mp4", "drawbox=x=255:y=225:w=90:h=45:c=black:t=fill:"
                                                          "enable='between(n,30,45)'");
    ASSERT_FALSE(covered.empty() || hand.empty());
    t = tracked(covered);
    ASSERT_EQ(t.rows.size(), 72u);
    for (size_t f = 0; f < t.rows.size(); f++)
        EXPECT_EQ(t.rows[f].at("success"), f >= 30 && f <= 45 ? "0" : "1") << "frame " << f;
    t = tracked(hand);
    for (size_t f = 0; f < t.rows.size(); f++)
        EXPECT_EQ(t.rows[f].at("success"), "1") << "frame " << f;
}

TEST_F(Track, AMovedTurnedZoomedOrMirroredPictureMeasuresTheSame)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string folder = make_temp_folder();
    FaceTable original = tracked(testdata_path("video/single_face.mp4"));
    double neutral = mean_distance(original, 0, 10, 48, 54), smile = mean_distance(original, 52, 72, 48, 54);
    double nose = mean_distance(original, 0, 72, 27, 33);
    const struct {
        const char *name, *filters;
    } variants[] = {
        {"moved.mp4", "pad=800:450:100:60"},
        {"zoomed.mp4", "scale=832:468,crop=640:360"},
        {"smaller.mp4", "scale=480:270"},
        {"turned.mp4", "rotate=10*PI/180"},
        {"mirrored.mp4", "hflip"},
    };
    for (const auto &v : variants) {
        std::string video = filtered_video(folder, v.name, v.filters);
        ASSERT_FALSE(video.empty()) << v.name;
        FaceTable t = tracked(video);
        ASSERT_EQ(t.rows.size(), 72u) << v.name;
        EXPECT_NEAR(mean_distance(t, 0, 10, 48, 54), neutral, 0.03 * neutral) << v.name;
        EXPECT_NEAR(mean_distance(t, 52, 72, 48, 54), smile, 0.03 * smile) << v.name;
        EXPECT_NEAR(mean_distance(t, 0, 72, 27, 33), nose, 0.03 * nose) << v.name;
    }

    /* The face above a copy at half its size (both found at this size): the larger one is followed, its
     * nose where the original's is, in every frame. */
    std::string two = filtered_video(folder, "two.mp4", "split[a][b];[b]scale=320:180[s];[a]pad=640:560:0:0[p];"
                                                        "[p][s]overlay=160:375");
    ASSERT_FALSE(two.empty());
    FaceTable both = tracked(two);
    ASSERT_EQ(both.rows.size(), 72u);
    double nose_off = 0;
    for (size_t f = 0; f < 72; f++)
        nose_off += hypot(number(both.rows[f], "x_30") - number(original.rows[f], "x_30"),
                          number(both.rows[f], "y_30") - number(original.rows[f], "y_30")) / 72;
    EXPECT_LT(nose_off, 3.0) << "pixels, on average: the large face";

    /* Mirrored, the subject's left corner is where the right one was, across the picture (x to 639 - x). */
    FaceTable mirrored = tracked(folder + "/mirrored.mp4");
    double apart = 0;
    for (size_t f = 0; f < 72; f++)
        for (const auto &pair : {std::make_pair(48, 54), std::make_pair(36, 45)})
            apart += fabs(number(mirrored.rows[f], "x_" + std::to_string(pair.first)) -
                          (639 - number(original.rows[f], "x_" + std::to_string(pair.second)))) / (72 * 2);
    EXPECT_LT(apart, 3.0) << "pixels, on average";

    /* The head coming nearer: the picture grows by a third over the video; millimetres stay, pixels grow. */
    std::string nearer = filtered_video(folder, "nearer.mp4",
                                        "scale=w='trunc(640*(1+t/7)/2)*2':h=-2:eval=frame,crop=640:360");
    ASSERT_FALSE(nearer.empty());
    FaceTable t = tracked(nearer);
    EXPECT_GT(mean_distance(t, 62, 72, 27, 33, 'x') / mean_distance(t, 0, 10, 27, 33, 'x'), 1.25);
    for (size_t first : {0, 31, 62}) {
        double steady = mean_distance(original, first, first + 10, 27, 33);
        EXPECT_NEAR(mean_distance(t, first, first + 10, 27, 33), steady, 0.03 * steady) << "frames from " << first;
        steady = mean_distance(original, first, first + 10, 48, 54);
        EXPECT_NEAR(mean_distance(t, first, first + 10, 48, 54), steady, 0.03 * steady) << "frames from " << first;
    }
}

/* The video's first frame as this program decodes it, against FFmpeg's own command line. */
static void expect_decoded_as_ffmpeg_does(const std::string &video)
{
    int width = 0, height = 0;
    std::vector<unsigned char> expected = ffmpeg_gray_frame(video, &width, &height);
    VideoReader *reader = nullptr;
    std::string reason;
    ASSERT_TRUE(open_video(video, false, &reader, &reason)) << reason;
    VideoFrame frame;
    ASSERT_EQ(next_video_frame(reader, &frame, &reason), 1) << reason;
    close_video(reader);
    ASSERT_EQ(frame.width, width) << video;
    ASSERT_EQ(frame.height, height) << video;
    size_t off = 0;
    for (size_t i = 0; i < expected.size(); i++)
        off += abs((int)expected[i] - (int)frame.gray[i]) > 2;
    EXPECT_LT(off, expected.size() / 1000) << video;
}

/* The MP4 with its video track's matrix (in its tkhd box, version 0) made a vertical flip: d = -1 and
 * ty = the height, in 16.16 fixed point, as a camera writes a picture stored upside down in its rows. */
static std::string vertically_flipped_matrix(std::string mp4, unsigned height)
{
    size_t tkhd = mp4.find("tkhd");
    if (tkhd == std::string::npos || mp4[tkhd + 4] != 0)
        return "";
    size_t matrix = tkhd + 4 + 40;
    const unsigned char minus_one[4] = {0xff, 0xff, 0x00, 0x00};
    unsigned ty = height << 16;
    for (int i = 0; i < 4; i++) {
        mp4[matrix + 16 + i] = (char)minus_one[i];
        mp4[matrix + 28 + i] = (char)(ty >> (24 - 8 * i));
    }
    return mp4;
}

TEST_F(Track, APhonesTurnedVideoIsReadUprightAsFFmpegShowsIt)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string folder = make_temp_folder(), messages;
    FaceTable original = tracked(testdata_path("video/single_face.mp4"));
    const struct {
        const char *stored, *rotate;
    } cases[] = {{"transpose=clock", "90"}, {"transpose=cclock", "270"}, {"hflip,vflip", "180"}};
    for (const auto &c : cases) {
        std::string stored = filtered_video(folder, "stored.mp4", c.stored);
        std::string turned = folder + "/turned" + c.rotate + ".mp4";
        ASSERT_TRUE(ffmpeg({"-i", stored, "-c", "copy", "-metadata:s:v:0", std::string("rotate=") + c.rotate, turned},
                           &messages)) << messages;
        expect_decoded_as_ffmpeg_does(turned);
        FaceTable t = tracked(turned);
        ASSERT_EQ(t.rows.size(), 72u);
        double off = 0;
        for (size_t f = 0; f < 72; f++)
            off += fabs(number(t.rows[f], "x_48") - number(original.rows[f], "x_48")) / 72;
        EXPECT_LT(off, 3.0) << "rotate " << c.rotate << ": the face upright, where it was";
    }

    /* Stored upside down in its rows, with a display matrix that flips it back at 0 degrees (ffprobe
     * reads it as a rotation of 0 with a negative determinant): the face upright in every frame. */
    std::string stored = filtered_video(folder, "upside-down.mp4", "vflip");
    std::string flipped = folder + "/flipped.mp4";
    write_file(flipped, vertically_flipped_matrix(read_file(stored), 360));
    ProgramRun matrix = run_program("/usr/bin/ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries",
                                                          "stream_side_data", flipped});
    ASSERT_THAT(matrix.out, HasSubstr("00000000:        65536           0           0"));
    ASSERT_THAT(matrix.out, HasSubstr("00000001:            0      -65536           0"));
    FaceTable t = tracked(flipped);
    ASSERT_EQ(t.rows.size(), 72u);
    double off = 0;
    for (size_t f = 0; f < 72; f++) {
        EXPECT_EQ(t.rows[f].at("success"), "1") << "frame " << f;
        off += fabs(number(t.rows[f], "y_48") - number(original.rows[f], "y_48")) / 72;
    }
    EXPECT_LT(off, 3.0) << "the mouth where it was, not 360 - y";
}

/* The cache's files whose names end so, by path. */
static std::vector<std::string> cache_files(const std::string &cache, const std::string &ending)
{
    std::vector<std::string> paths;
    for (const std::string &name : entries(cache + "/mienscope"))
        if (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
            paths.push_back(cache + "/mienscope/" + name);
    return paths;
}

/* The cache's one table, by name; "" when there is none or more. */
static std::string cache_file(const std::string &cache)
{
    std::vector<std::string> tables = cache_files(cache, ".csv");
    return tables.size() == 1 ? tables[0] : "";
}

/* The text with its table's checksum made to fit again, as sha256sum computes it. */
static std::string with_checksum(const std::string &text)
{
    size_t blank = text.find("\n\n"), line = text.find("checksum ");
    std::string body = temp_file(text.substr(blank + 2));
    ProgramRun sum = run_program("/usr/bin/sha256sum", {body});
    return text.substr(0, line) + "checksum " + sum.out.substr(0, 64) + text.substr(line + 9 + 64);
}

TEST_F(Track, TheCacheIsReadThenRefusedWhenDamagedOrAnothers)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string video = testdata_path("video/single_face.mp4");
    ProgramRun first = track({video, "-"});
    ASSERT_EQ(first.status, 0) << first.err;
    std::string kept = cache_file(cache);
    ASSERT_FALSE(kept.empty()) << "the table is kept in $XDG_CACHE_HOME/mienscope";
    std::string text = read_file(kept);
    EXPECT_THAT(text, StartsWith("mienscope-track cache\nkey video "));
    EXPECT_THAT(text, HasSubstr("\nkey model " + std::string(model_path) + " "));
    EXPECT_THAT(text, HasSubstr("\nkey eye-distance 63\nkey tracker 1.0.0\nundecodable 0\nchecksum "));

    /* A table planted under the key, with its checksum: what the next run gives, so the cache is read. */
    std::string planted = text, first_row = "\n1, 0, 0.000000, 1, 1, ";
    size_t x0 = planted.find(first_row);
    ASSERT_NE(x0, std::string::npos);
    x0 += first_row.size();
    planted.replace(x0, planted.find(',', x0) - x0, "1.250");
    write_file(kept, with_checksum(planted));
    ProgramRun again = track({video, "-"});
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.out, first.out);
    EXPECT_EQ(again.out, planted.substr(planted.find("\n\n") + 2));

    /* A byte changed without its checksum: never trusted; tracked again, and the file replaced. */
    std::string damaged = text;
    damaged[damaged.size() - 10] ^= 1;
    write_file(kept, damaged);
    EXPECT_EQ(track({video, "-"}).out, first.out);
    EXPECT_EQ(read_file(kept), text);

    /* Another key's file under this key's name (another eye distance): ignored and replaced. */
    std::string other = text;
    other.replace(other.find("eye-distance 63"), 15, "eye-distance 70");
    write_file(kept, with_checksum(other));
    EXPECT_EQ(track({video, "-"}).out, first.out);
    EXPECT_EQ(read_file(kept), text);

    /* A still drawn from the cached table is the still drawn after tracking. */
    std::string folder = make_temp_folder(), fresh_cache = make_temp_folder();
    setenv("XDG_CACHE_HOME", fresh_cache.c_str(), 1);
    ASSERT_EQ(track({"--still", "1.5:" + folder + "/tracked.png", video}).status, 0);
    ASSERT_FALSE(cache_file(fresh_cache).empty());
    ASSERT_EQ(track({"--still", "1.5:" + folder + "/cached.png", video}).status, 0);
    EXPECT_EQ(read_file(folder + "/cached.png"), read_file(folder + "/tracked.png"));

    /* The parsed model is kept too, and read in place of the model's file: with that file's bytes replaced
     * (its size and time kept), only the kept model gives the same table; kept model damaged, the file is
     * read again, and refused. */
    std::string models = make_temp_folder(), copy = models + "/model.dat", model_cache = make_temp_folder();
    write_file(copy, read_file(model_path));
    setenv("XDG_CACHE_HOME", model_cache.c_str(), 1);
    ProgramRun parsed = track({"--model", copy, video, "-"});
    ASSERT_EQ(parsed.status, 0) << parsed.err;
    std::vector<std::string> kept_models = cache_files(model_cache, ".bin");
    ASSERT_EQ(kept_models.size(), 1u);
    struct stat st;
    ASSERT_EQ(stat(copy.c_str(), &st), 0);
    write_file(copy, std::string((size_t)st.st_size, 'x'));
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, copy.c_str(), times, 0), 0);
    unlink(cache_file(model_cache).c_str());
    ProgramRun from_kept = track({"--model", copy, video, "-"});
    EXPECT_EQ(from_kept.status, 0) << from_kept.err;
    EXPECT_EQ(from_kept.out, parsed.out);
    std::string bin = read_file(kept_models[0]);
    bin[bin.size() / 2] ^= 1;
    write_file(kept_models[0], bin);
    unlink(cache_file(model_cache).c_str());
    ProgramRun damaged_model = track({"--model", copy, video, "-"});
    EXPECT_EQ(damaged_model.status, 1);
    EXPECT_EQ(damaged_model.err, copy + ": not a 68-point dlib shape predictor\n");

    /* --no-cache reads none and keeps none. */
    std::string fresh = make_temp_folder();
    setenv("XDG_CACHE_HOME", fresh.c_str(), 1);
    EXPECT_EQ(track({"--no-cache", video, "-"}).out, first.out);
    EXPECT_TRUE(entries(fresh).empty());
}

TEST_F(Track, TheOverlayAndStillsShowThePointsOnTheFrameswithTheFace)
{
    REQUIRE_TESTDATA("video/face_noface.mov");
    std::string video = testdata_path("video/face_noface.mov"), folder = make_temp_folder();
    ProgramRun run = track({"--overlay", folder + "/overlay.mp4", "--still", "1.0:" + folder + "/face.png", "--still",
                            "4:" + folder + "/cards.png", video, folder + "/table.csv"});
    ASSERT_EQ(run.status, 0) << run.err;
    FaceTable t = face_table(read_file(folder + "/table.csv"));
    ASSERT_EQ(t.rows.size(), 169u);

    /* The still at 1 s is frame 31 (30 a second): every point of it green, as drawn. */
    Image face = read_png_image(folder + "/face.png");
    ASSERT_EQ(face.width, 960);
    ASSERT_EQ(face.height, 540);
    for (int i = 0; i < 68; i++) {
        const unsigned char *p = face.at((int)lround(number(t.rows[30], "x_" + std::to_string(i))),
                                         (int)lround(number(t.rows[30], "y_" + std::to_string(i))));
        EXPECT_TRUE(p[0] == 0 && p[1] == 255 && p[2] == 0) << "point " << i;
    }
    /* At 4 s, the cards: nothing drawn, the frame nearest 4 s as FFmpeg decodes it. */
    size_t nearest = 0;
    for (size_t f = 0; f < t.rows.size(); f++)
        if (fabs(number(t.rows[f], "timestamp") - 4) < fabs(number(t.rows[nearest], "timestamp") - 4))
            nearest = f;
    Image cards = read_png_image(folder + "/cards.png");
    std::string frame = folder + "/at4.png", messages;
    ASSERT_TRUE(ffmpeg({"-i", video, "-vf", "select=eq(n\\," + std::to_string(nearest) + ")", "-frames:v", "1",
                        "-pix_fmt", "rgb24", frame}, &messages)) << messages;
    Image decoded = read_png_image(frame);
    ASSERT_EQ(cards.rgb.size(), decoded.rgb.size());
    size_t off = 0;
    for (size_t i = 0; i < cards.rgb.size(); i++)
        off += abs((int)cards.rgb[i] - (int)decoded.rgb[i]) > 12;
    EXPECT_LT(off, cards.rgb.size() / 200);

    /* The overlay: the video's frames, size and times, made by Mienscope; its frame 31 green where the
     * points are, its frame 120 with no more green than the video has there. */
    VideoReader *reader = nullptr;
    std::string reason;
    ASSERT_TRUE(open_video(folder + "/overlay.mp4", true, &reader, &reason)) << reason;
    VideoFrame f;
    size_t frames = 0, green_points = 0;
    double drift = 0;
    while (next_video_frame(reader, &f, &reason) == 1) {
        drift = std::max(drift, fabs(f.seconds - number(t.rows[frames], "timestamp")));
        for (int i = 0; frames == 30 && i < 68; i++) {
            const uint8_t *p = &f.picture.rgb[3 * ((size_t)lround(number(t.rows[30], "y_" + std::to_string(i))) * 960 +
                                                   (size_t)lround(number(t.rows[30], "x_" + std::to_string(i))))];
            green_points += p[1] > 180 && p[0] < 110 && p[2] < 110;
        }
        frames++;
    }
    close_video(reader);
    EXPECT_EQ(frames, 169u);
    EXPECT_LT(drift, 0.001) << "seconds: the frames at their own times";
    EXPECT_GE(green_points, 60u);
    ProgramRun probe = run_program("/usr/bin/ffprobe", {"-v", "error", "-show_entries", "format_tags=comment:stream=codec_type",
                                                        "-of", "compact", folder + "/overlay.mp4"});
    EXPECT_THAT(probe.out, HasSubstr("comment=made by Mienscope"));
    EXPECT_THAT(probe.out, testing::Not(HasSubstr("audio"))) << "no sound";
}

TEST_F(Track, BadInputSaysWhatAndWritesNothing)
{
    std::string folder = make_temp_folder(), messages;
    std::string text = folder + "/clip.mp4", out = folder + "/out.csv", nothing = folder + "/pattern.mp4";
    write_file(text, "frame, not a video\n");
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=10", "-t", "1", nothing}, &messages)) << messages;
    std::string five = folder + "/five.dat";
    write_file(five, five_point_model());
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{nothing, out}, 1,
         nothing + ": no face found in any of 10 frames; at 320 x 240 pixels a face must be at least 80 pixels wide to be found\n"},
        {{text, out}, 1, text + ": can't be read as a video: Invalid data found when processing input\n"},
        {{folder + "/none.mp4", out}, 1, folder + "/none.mp4: can't be read as a video: No such file or directory\n"},
        {{"--model", folder + "/none.dat", nothing, out}, 1, folder + "/none.dat: can't be read: No such file or directory\n"},
        {{"--model", text, nothing, out}, 1, text + ": not a 68-point dlib shape predictor\n"},
        {{"--model", five, nothing, out}, 1, five + ": not a 68-point dlib shape predictor\n"},
        {{"--eye-distance", "0", nothing, out}, 2, "mienscope-track: --eye-distance \"0\" is not a number of millimetres above 0\nUsage: "},
        {{"--eye-distance", "wide", nothing, out}, 2, "mienscope-track: --eye-distance \"wide\" is not a number"},
        {{"--still", "soon:a.png", nothing, out}, 2,
         "mienscope-track: --still \"soon:a.png\" is not SECONDS:OUT.png with SECONDS from 0\nUsage: "},
        {{"--colour", nothing, out}, 2, "mienscope-track: \"--colour\" is not an option or lacks its value\nUsage: "},
        {{nothing}, 2, "mienscope-track: no OUTPUT.csv given (nor --overlay or --still)\nUsage: "},
        {{}, 2, "mienscope-track: no VIDEO given\nUsage: "},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), {"--overlay", folder + "/overlay.mp4"});
        if (c.status == 2)
            args = c.args;
        ProgramRun run = track(args);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_THAT(run.err, StartsWith(c.message)) << run.err;
        EXPECT_EQ(entries(folder).size(), 3u) << c.message << ": no output, overlay or temporary file";
        EXPECT_TRUE(entries(cache).empty()) << c.message << ": nothing kept";
    }
    /* A model with a damaged byte anywhere is refused, never read past its end. */
    std::string model = read_file(model_path);
    std::string cut = folder + "/cut.dat";
    write_file(cut, model.substr(0, model.size() / 3));
    ProgramRun run = track({"--model", cut, nothing, out});
    EXPECT_EQ(run.err, cut + ": not a 68-point dlib shape predictor\n");
}

TEST_F(Track, OutputsThatExistAreLeftAloneAndRecordingsNeverReplaced)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string video = testdata_path("video/single_face.mp4"), folder = make_temp_folder();
    std::string out = folder + "/face.csv", overlay = folder + "/face.mp4";
    write_file(out, "mine\n");
    ProgramRun run = track({video, out});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, out + ": exists; --force replaces it, and without it the file is left untouched\n");
    EXPECT_EQ(read_file(out), "mine\n");
    ASSERT_EQ(track({"--force", "--overlay", overlay, video, out}).status, 0);
    ASSERT_EQ(track({"--force", "--overlay", overlay, video, out}).status, 0) << "its own table and overlay again";

    /* OpenFace's own table, a recording, and a video Mienscope did not make: refused even with --force. */
    std::string recording = folder + "/openface.csv";
    write_file(recording, "frame, face_id, timestamp, confidence, success, " + [] {
        std::string columns;
        for (const char *block : {"X", "Y", "Z"})
            for (int i = 0; i < 68; i++)
                columns += std::string(block) + "_" + std::to_string(i) + (block[0] == 'Z' && i == 67 ? "\n" : ", ");
        return columns;
    }());
    run = track({"--force", video, recording});
    EXPECT_EQ(run.err, recording + ": is a recording, not a table or video mienscope-track made; it is not replaced\n");
    std::string copy = folder + "/copy.mp4";
    write_file(copy, read_file(video));
    run = track({"--force", "--overlay", copy, video, folder + "/other.csv"});
    EXPECT_EQ(run.err, copy + ": is a recording, not a table or video mienscope-track made; it is not replaced\n");
    run = track({"--force", "--overlay", video, video, folder + "/other.csv"});
    EXPECT_EQ(run.err, video + ": is the video being read; choose another name\n");
    EXPECT_EQ(read_file(copy), read_file(video));

    /* The model is an input too: a link to it as the output leaves both as they were. */
    std::string model = folder + "/model.dat";
    ASSERT_EQ(symlink(model_path, model.c_str()), 0);
    run = track({"--force", "--model", model, video, model});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, model + ": is the model being read; choose another name\n");
    struct stat st;
    EXPECT_TRUE(lstat(model.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) << "the link is still the link";

    /* A user's own MP4 that carries a comment of its own is not Mienscope's. */
    std::string holiday = folder + "/holiday.mp4", messages;
    ASSERT_TRUE(ffmpeg({"-i", video, "-c", "copy", "-metadata", "comment=our holiday", holiday}, &messages)) << messages;
    std::string before = read_file(holiday);
    run = track({"--force", "--overlay", holiday, video});
    EXPECT_EQ(run.err, holiday + ": is a recording, not a table or video mienscope-track made; it is not replaced\n");
    EXPECT_EQ(read_file(holiday), before);

    /* A still's name may hold ':' itself: SECONDS ends at the first. */
    run = track({"--still", "0.5:" + folder + "/a:b.png", video});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_png_image(folder + "/a:b.png").width, 640);
}

TEST_F(Track, DamagedFramesAreSkippedWithOneWarning)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string video = read_file(testdata_path("video/single_face.mp4"));
    for (size_t at : {60000, 120000})
        video.replace(at, 3000, std::string(3000, '\0'));
    std::string damaged = make_temp_folder() + "/damaged.mp4";
    write_file(damaged, video);
    ProgramRun run = track({damaged, "-"});
    ASSERT_EQ(run.status, 0) << run.err;
    FaceTable t = face_table(run.out);
    /* FFmpeg's own count: the frames its decoder gives, less those it says it decoded with errors. */
    ProgramRun probe = run_program("/usr/bin/ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v",
                                                         "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0", damaged});
    size_t decoded = strtoul(probe.out.c_str(), nullptr, 10), with_errors = 0;
    for (size_t at = 0; (at = probe.err.find("error while decoding MB", at)) != std::string::npos; at++)
        with_errors++;
    ASSERT_GT(decoded, 60u);
    ASSERT_GT(with_errors, 0u) << "a frame that decodes damaged, besides those that do not decode";
    EXPECT_EQ(t.rows.size(), decoded - with_errors);
    EXPECT_EQ(run.err, damaged + ": " + std::to_string(72 - (decoded - with_errors)) +
                           " frames could not be decoded; skipped them\n");
}

/* mienscope-track run with a deadline, so that a hang fails the test (status 124) rather than stalling it. */
static ProgramRun track_within_a_minute(const std::vector<std::string> &args)
{
    std::vector<std::string> all = {"60", TRACK_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    return run_program("/usr/bin/timeout", all);
}

TEST_F(Track, OutputsThatCantBeWrittenAreSaidInALineAndLeaveNothing)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string video = testdata_path("video/single_face.mp4"), folder = make_temp_folder();
    std::string missing = folder + "/missing/face", fifo = folder + "/fifo", table = folder + "/face.csv";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string not_created = ": can't be created: No such file or directory; nothing was written\n";
    const std::string not_regular = ": is not a regular file; it is not replaced\n";
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{video, missing + ".csv"}, missing + ".csv" + not_created},
        {{"--still", "1:" + missing + ".png", video}, missing + ".png" + not_created},
        {{"--overlay", missing + ".mp4", video, table}, missing + ".mp4" + not_created},
        {{video, table, "--still", "0.5:" + missing + ".png"}, missing + ".png" + not_created},
        /* sysfs refuses new files to root too: a read-only share, whoever runs the tests. */
        {{video, "/sys/face.csv"}, "/sys/face.csv: can't be created: Permission denied; nothing was written\n"},
        {{video, folder}, folder + ": is a folder; give the name of a file to write\n"},
        {{"--force", video, "/dev/null"}, "/dev/null" + not_regular},
        {{"--force", "--overlay", "/dev/full", video}, "/dev/full" + not_regular},
        {{video, fifo}, fifo + not_regular},
        {{"--force", "--still", "1:" + fifo, video}, fifo + not_regular},
    };
    for (const auto &c : cases) {
        ProgramRun run = track_within_a_minute(c.args);
        EXPECT_EQ(run.status, 1) << c.message;
        EXPECT_EQ(run.err, c.message);
        EXPECT_THAT(entries(folder), testing::UnorderedElementsAre("fifo")) << c.message << ": no output or temporary";
        EXPECT_TRUE(entries(cache).empty()) << c.message << ": nothing kept for a run that failed";
    }
    struct stat st;
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device is still a device";

    /* Standard output that can't take the table. */
    ProgramRun full = run_program("/bin/sh", {"-c", "exec \"$0\" \"$1\" - > /dev/full", TRACK_BINARY, video});
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "standard output: can't be written: No space left on device\n");
    EXPECT_TRUE(entries(cache).empty());
}

/* single_face.mp4's frame `frame` repeated `count` times, losslessly, scaled to the size. */
static std::string still_video(const std::string &folder, const std::string &size, int frame, int count)
{
    std::string path = folder + "/still-" + size + ".mkv", messages;
    std::string w = size.substr(0, size.find('x')), h = size.substr(size.find('x') + 1);
    bool made = ffmpeg({"-i", testdata_path("video/single_face.mp4"), "-an", "-vf",
                        "select=eq(n\\," + std::to_string(frame) + "),loop=" + std::to_string(count - 1) +
                            ":1:0,format=yuv444p,scale=" + w + ":" + h + ",setpts=N/30/TB",
                        "-frames:v", std::to_string(count), "-c:v", "ffv1", path},
                       &messages);
    EXPECT_TRUE(made) << messages;
    return path;
}

TEST_F(Track, AStillFaceGivesStillPointsAtEverySize)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string folder = make_temp_folder();
    /* Its own size, larger than the first search (found scaled down, then followed at another scale), odd. */
    for (std::string size : {"640x360", "1280x720", "517x291"}) {
        FaceTable t = tracked(still_video(folder, size, 15, 20));
        ASSERT_EQ(t.rows.size(), 20u) << size;
        double moved = 0;
        for (size_t f = 1; f < t.rows.size(); f++) {
            EXPECT_EQ(t.rows[f].at("success"), "1") << size << " frame " << f;
            for (int i = 0; i < 68; i++)
                moved = std::max(moved, hypot(number(t.rows[f], "x_" + std::to_string(i)) -
                                                  number(t.rows[f - 1], "x_" + std::to_string(i)),
                                              number(t.rows[f], "y_" + std::to_string(i)) -
                                                  number(t.rows[f - 1], "y_" + std::to_string(i))));
        }
        EXPECT_LE(moved, 0.001) << size << ": pixels between identical frames";
    }
}

/* single_face.mp4's first frames cut or padded to the size, the face kept at its own size, losslessly. */
static std::string sized_video(const std::string &folder, int width, int height)
{
    std::string path = folder + "/" + std::to_string(width) + "x" + std::to_string(height) + ".mkv", messages;
    char filters[160];
    snprintf(filters, sizeof filters, "format=yuv444p,crop=%d:%d,pad=%d:%d:(ow-iw)/2:(oh-ih)/2", std::min(width, 640),
             std::min(height, 360), width, height);
    bool made = ffmpeg({"-i", testdata_path("video/single_face.mp4"), "-an", "-vf", filters, "-frames:v", "6", "-c:v",
                        "ffv1", path},
                       &messages);
    EXPECT_TRUE(made) << messages;
    return path;
}

TEST_F(Track, EveryFrameSizeFromSixteenUpIsTrackedAndDrawnOrSaysWhy)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string folder = make_temp_folder(), out = make_temp_folder();
    const struct {
        int width, height;
        bool face;
    } sizes[] = {{16, 16, false}, {17, 17, false}, {31, 33, false}, {301, 251, true}, {412, 600, true}, {572, 562, true}};
    for (const auto &s : sizes) {
        std::string video = sized_video(folder, s.width, s.height), size = std::to_string(s.width) + " x " +
                                                                           std::to_string(s.height);
        ProgramRun run = track({"--overlay", out + "/overlay.mp4", "--still", "0.1:" + out + "/still.png", video,
                                out + "/table.csv"});
        if (!s.face) {
            EXPECT_EQ(run.status, 1) << size;
            EXPECT_EQ(run.err, video + ": no face found in any of 6 frames; at " + size +
                                   " pixels a face must be at least 80 pixels wide to be found\n");
            EXPECT_TRUE(entries(out).empty()) << size;
            continue;
        }
        ASSERT_EQ(run.status, 0) << size << ": " << run.err;
        Image still = read_png_image(out + "/still.png");
        EXPECT_EQ(still.width, s.width);
        EXPECT_EQ(still.height, s.height);
        VideoReader *reader = nullptr;
        std::string reason;
        ASSERT_TRUE(open_video(out + "/overlay.mp4", false, &reader, &reason)) << reason;
        VideoFrame f;
        size_t frames = 0;
        while (next_video_frame(reader, &f, &reason) == 1) {
            EXPECT_EQ(f.width, s.width + s.width % 2) << size << ": an odd side gets a black line more";
            EXPECT_EQ(f.height, s.height + s.height % 2) << size;
            frames++;
        }
        close_video(reader);
        EXPECT_EQ(frames, 6u) << size;
        EXPECT_EQ(face_table(read_file(out + "/table.csv")).rows.size(), 6u) << size;
        for (const std::string &name : entries(out))
            unlink((out + "/" + name).c_str());
    }
}

TEST_F(Track, AFaceTooSmallForTheFirstSearchIsFoundAtTheFramesOwnSize)
{
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string folder = make_temp_folder(), messages;
    FaceTable original = tracked(testdata_path("video/single_face.mp4"));
    /* The face, about 90 pixels wide at half size, in a 1080p frame: the frame scaled to 640 would make it 30. */
    std::string small = filtered_video(folder, "small.mkv", "scale=320:180,pad=1920:1080:800:450");
    ASSERT_FALSE(small.empty());
    FaceTable t = tracked(small);
    ASSERT_EQ(t.rows.size(), 72u);
    double apart = 0;
    for (size_t f = 0; f < 72; f++) {
        EXPECT_EQ(t.rows[f].at("success"), "1") << "frame " << f;
        apart += fabs(number(t.rows[f], "x_30") - (800 + number(original.rows[f], "x_30") / 2)) / 72;
    }
    EXPECT_LT(apart, 3.0) << "pixels, on average: the nose where the half-size face puts it";

    /* How small a face can be, said where none is found: twice the detector's window in 4K. */
    std::string big = folder + "/pattern4k.mp4";
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "testsrc=size=3840x2160:rate=10", "-frames:v", "1", big}, &messages))
        << messages;
    ProgramRun run = track({big, folder + "/none.csv"});
    EXPECT_EQ(run.err, big + ": no face found in any of 1 frame; at 3840 x 2160 pixels a face must be at least 160 "
                             "pixels wide to be found\n");
}
