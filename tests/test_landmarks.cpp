/* The landmark model read from dlib's files and run here: small models
 * whose answer is worked out by hand, Debian's 68-point model against
 * dlib's own predictor (which rounds to whole pixels), damaged models,
 * and the cache's files. */
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <dirent.h>
#include <math.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>

#include <dlib/image_processing.h>
#include <dlib/image_processing/frontal_face_detector.h>

#include "cache.h"
#include "decode.h"
#include "landmarks.h"
#include "models.h"
#include "openface_table.h"
#include "testfiles.h"

static const char model_path[] = "/usr/share/dlib/shape_predictor_68_face_landmarks.dat";

static bool parse(const std::string &bytes, LandmarkModel *model, std::string *what)
{
    return parse_landmark_model((const uint8_t *)bytes.data(), bytes.size(), model, what);
}

TEST(Landmarks, ATinyModelPlacesItsPointsAsWorkedOutByHand)
{
    LandmarkModel model;
    std::string what;
    ASSERT_TRUE(parse(two_point_model(), &model, &what)) << what;
    ASSERT_EQ(model.points, 2);
    ASSERT_EQ(model.cascades.size(), 1u);
    /* dlib anchors each feature pixel on the nearest point: (0.2, 0.2) on point 0, (0.8, 0.2) on point 1. */
    EXPECT_EQ(model.cascades[0].anchors, (std::vector<uint32_t>{0, 1}));
    EXPECT_NEAR(model.cascades[0].offsets[1], -0.3, 1e-7);

    /* In the box (0, 0)-(100, 100) the pixels are (20, 20) and (80, 20). */
    std::vector<uint8_t> pixels(120 * 120, 0);
    GrayView view = {pixels.data(), 120, 120};
    FaceBox box = {0, 0, 100, 100};
    std::vector<double> xy;
    pixels[20 * 120 + 20] = 200;
    pixels[20 * 120 + 80] = 50;
    place_landmarks(model, view, box, &xy);
    std::vector<double> left = {35, 45, 75, 50}; /* point 0 moved by (0.1, -0.05) of the box */
    for (size_t i = 0; i < 4; i++)
        EXPECT_NEAR(xy[i], left[i], 1e-5) << i;
    pixels[20 * 120 + 20] = 50;
    pixels[20 * 120 + 80] = 200;
    place_landmarks(model, view, box, &xy);
    std::vector<double> right = {25, 50, 65, 70}; /* point 1 moved by (-0.1, 0.2) */
    for (size_t i = 0; i < 4; i++)
        EXPECT_NEAR(xy[i], right[i], 1e-5) << i;

    /* The box scales and moves the shape: (10, 30)-(210, 130) is 200 wide and 100 high. */
    box = {10, 30, 210, 130};
    pixels.assign(pixels.size(), 0); /* both pixels 0: the right leaf */
    place_landmarks(model, view, box, &xy);
    EXPECT_NEAR(xy[0], 10 + 0.25 * 200, 1e-5);
    EXPECT_NEAR(xy[3], 30 + 0.7 * 100, 1e-5);
}

TEST(Landmarks, DebiansModelPlacesWhatDlibPlacesBeforeItRounds)
{
    if (access(model_path, R_OK) != 0)
        GTEST_SKIP() << "no " << model_path << ": libdlib-data is not installed";
    REQUIRE_TESTDATA("video/single_face.mp4");
    std::string bytes = read_file(model_path), what;
    LandmarkModel model;
    ASSERT_TRUE(parse(bytes, &model, &what)) << what;
    ASSERT_EQ(model.points, 68);
    dlib::shape_predictor predictor;
    dlib::deserialize(model_path) >> predictor;
    dlib::frontal_face_detector detector = dlib::get_frontal_face_detector();

    VideoReader *reader = nullptr;
    ASSERT_TRUE(open_video(testdata_path("video/single_face.mp4"), false, &reader, &what)) << what;
    VideoFrame frame;
    for (int f = 0; f < 72 && next_video_frame(reader, &frame, &what) == 1; f++) {
        if (f % 20 != 0)
            continue;
        dlib::array2d<unsigned char> image(frame.height, frame.width);
        std::copy(frame.gray.begin(), frame.gray.end(), &image[0][0]);
        std::vector<dlib::rectangle> faces = detector(image);
        ASSERT_EQ(faces.size(), 1u) << "frame " << f;
        dlib::full_object_detection rounded = predictor(image, faces[0]);
        std::vector<double> xy;
        GrayView view = {frame.gray.data(), frame.width, frame.height};
        place_landmarks(model, view, {faces[0].left(), faces[0].top(), faces[0].right(), faces[0].bottom()}, &xy);
        size_t whole = 0;
        for (int i = 0; i < 68; i++) {
            EXPECT_LE(fabs(xy[2 * i] - rounded.part(i).x()), 0.5 + 1e-3) << "frame " << f << " point " << i;
            EXPECT_LE(fabs(xy[2 * i + 1] - rounded.part(i).y()), 0.5 + 1e-3) << "frame " << f << " point " << i;
            whole += xy[2 * i] == floor(xy[2 * i]);
        }
        EXPECT_LT(whole, 5u) << "the fractions are kept";
        if (f != 0)
            continue;
        /* The same face cut by the picture's left edge (its columns from 250 on): feature pixels fall
         * outside and on column 0, and every point still lands where dlib's lands. */
        const int cut = 250, width = frame.width - cut;
        dlib::array2d<unsigned char> right(frame.height, width);
        std::vector<uint8_t> pixels((size_t)width * frame.height);
        for (int y = 0; y < frame.height; y++)
            for (int x = 0; x < width; x++)
                pixels[(size_t)y * width + x] = right[y][x] = frame.gray[(size_t)y * frame.width + x + cut];
        dlib::rectangle moved(faces[0].left() - cut, faces[0].top(), faces[0].right() - cut, faces[0].bottom());
        rounded = predictor(right, moved);
        place_landmarks(model, {pixels.data(), width, frame.height},
                        {moved.left(), moved.top(), moved.right(), moved.bottom()}, &xy);
        for (int i = 0; i < 68; i++) {
            EXPECT_LE(fabs(xy[2 * i] - rounded.part(i).x()), 0.5 + 1e-3) << "cut face, point " << i;
            EXPECT_LE(fabs(xy[2 * i + 1] - rounded.part(i).y()), 0.5 + 1e-3) << "cut face, point " << i;
        }
    }
    close_video(reader);
}

TEST(Landmarks, ModelsThatAreNotOneAreRefusedWithoutReadingPastThem)
{
    std::string model = two_point_model(), what;
    LandmarkModel parsed;
    for (size_t size = 0; size < model.size(); size++) {
        std::string cut = model.substr(0, size);
        EXPECT_FALSE(parse(cut, &parsed, &what)) << size;
    }
    EXPECT_FALSE(parse(two_point_model(2), &parsed, &what));
    EXPECT_EQ(what, "a split names a feature pixel it does not have");
    /* A feature pixel placed from point 2 of a shape of points 0 and 1: one past the last. */
    EXPECT_TRUE(parse(two_point_model_anchored_at(1), &parsed, &what)) << what;
    EXPECT_FALSE(parse(two_point_model_anchored_at(2), &parsed, &what));
    EXPECT_EQ(what, "a feature pixel is placed from a point the shape does not have");
    EXPECT_FALSE(parse("frame, face_id\n", &parsed, &what));
    EXPECT_FALSE(parse(std::string("\x01\x01\x81\x03\x01\x01", 6), &parsed, &what)) << "3 rows claimed, none there";
    EXPECT_EQ(what, "it counts more than it holds");
    ASSERT_TRUE(parse(five_point_model(), &parsed, &what)) << what;
    EXPECT_EQ(parsed.points, 5);
}

/* Inputs the fuzzer found: a float cut at the end of the bytes, and a model whose sums overflow to
 * infinities; under the sanitizers, neither reads outside what it has. */
TEST(Landmarks, WhatTheFuzzerFoundStaysMended)
{
    LandmarkModel model;
    std::string what, seeds = std::string(SOURCE_DIR) + "/fuzz/seeds/landmark_model/";
    EXPECT_FALSE(parse(read_file(seeds + "read-past-a-float.dat"), &model, &what));
    std::string overflowing = read_file(seeds + "overflowing-sums.dat");
    ASSERT_FALSE(overflowing.empty());
    if (parse(overflowing, &model, &what)) {
        std::vector<uint8_t> pixels(16 * 16, 128);
        std::vector<double> xy;
        place_landmarks(model, {pixels.data(), 16, 16}, {2, 2, 13, 13}, &xy);
        EXPECT_EQ(xy.size(), model.mean_shape.size());
    }
}

TEST(TrackCache, OnlyAWholeFileWithItsOwnKeyIsRead)
{
    std::string folder = make_temp_folder(), table = "frame, face_id\n1, 0\n", key = "video 00\nmodel m 1 2.0\n", read;
    size_t undecodable = 0;
    ASSERT_TRUE(keep_table(folder, key, table, 3));
    ASSERT_TRUE(cached_table(folder, key, &read, &undecodable));
    EXPECT_EQ(read, table);
    EXPECT_EQ(undecodable, 3u);
    EXPECT_FALSE(cached_table(folder, "video 01\nmodel m 1 2.0\n", &read, &undecodable)) << "another key";

    std::string text = "mienscope-track cache\nkey video 00\nkey model m 1 2.0\nundecodable 3\nchecksum ";
    std::string file = read_file(folder + "/" + [&] {
        DIR *dir = opendir(folder.c_str());
        std::string name;
        while (struct dirent *e = readdir(dir))
            if (e->d_name[0] != '.')
                name = e->d_name;
        closedir(dir);
        return name;
    }());
    ASSERT_EQ(file.compare(0, text.size(), text), 0) << file;
    EXPECT_TRUE(parse_cache_file(file, key, &read, &undecodable));
    const struct {
        const char *from, *to;
    } changes[] = {{"undecodable 3\n", "undecodable -3\n"}, {"undecodable 3\n", "undecodable 3x\n"},
                   {"\n\nframe", "\nframe"}, {"key video 00", "key video 01"}};
    for (const auto &c : changes) {
        std::string changed = file;
        changed.replace(changed.find(c.from), strlen(c.from), c.to);
        EXPECT_FALSE(parse_cache_file(changed, key, &read, &undecodable)) << c.to;
    }
    for (size_t size = 0; size < file.size(); size++)
        EXPECT_FALSE(parse_cache_file(file.substr(0, size), key, &read, &undecodable)) << size;
    std::string flipped = file;
    flipped[flipped.size() - 2] ^= 1;
    EXPECT_FALSE(parse_cache_file(flipped, key, &read, &undecodable)) << "its checksum";
}

TEST(TrackCache, AKeptModelIsReadBackWholeOrNotAtAll)
{
    std::string folder = make_temp_folder(), key = "model m 1 2.0\ntracker 1.0.0\n", what;
    LandmarkModel model, read;
    ASSERT_TRUE(parse(two_point_model(), &model, &what)) << what;
    ASSERT_TRUE(keep_model(folder, key, model));
    ASSERT_TRUE(cached_model(folder, key, &read));
    /* The same model, float for float: it places the points the worked example places. */
    std::vector<uint8_t> pixels(200 * 100, 0);
    std::vector<double> xy, again;
    place_landmarks(model, {pixels.data(), 200, 100}, {10, 20, 210, 120}, &xy);
    place_landmarks(read, {pixels.data(), 200, 100}, {10, 20, 210, 120}, &again);
    EXPECT_EQ(again, xy);
    EXPECT_EQ(read.mean_shape, model.mean_shape);
    const LandmarkCascade &kept = read.cascades[0], &parsed = model.cascades[0];
    ASSERT_EQ(kept.leaf_floats, parsed.leaf_floats);
    EXPECT_TRUE(std::equal(kept.leaves, kept.leaves + kept.leaf_floats, parsed.leaves));
    EXPECT_TRUE(kept.leaves >= (const float *)(const void *)read.kept.data &&
                kept.leaves + kept.leaf_floats <= (const float *)(const void *)(read.kept.data + read.kept.size))
        << "the kept leaves are used where they lie in the file's mapping, not copied";
    EXPECT_FALSE(cached_model(folder, "model m 1 2.1\ntracker 1.0.0\n", &read)) << "another key";

    std::string name;
    DIR *dir = opendir(folder.c_str());
    while (struct dirent *e = readdir(dir))
        if (e->d_name[0] != '.')
            name = e->d_name;
    closedir(dir);
    std::string file = read_file(folder + "/" + name);
    const std::string heading = "mienscope-track model\nkey model m 1 2.0\nkey tracker 1.0.0\nchecksum ";
    ASSERT_EQ(file.compare(0, heading.size(), heading), 0);
    const uint8_t *bytes = (const uint8_t *)file.data();
    EXPECT_TRUE(parse_model_cache(bytes, file.size(), key, &read));
    for (size_t size = 0; size < file.size(); size++)
        EXPECT_FALSE(parse_model_cache(bytes, size, key, &read)) << size;
    for (size_t at = heading.size(); at < file.size(); at++) {
        std::string changed = file;
        changed[at] ^= 4;
        EXPECT_FALSE(parse_model_cache((const uint8_t *)changed.data(), changed.size(), key, &read)) << "byte " << at;
    }
}
