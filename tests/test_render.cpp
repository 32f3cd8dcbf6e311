/* mienscope-render against the real viewer: the same pictures, pixel for
 * pixel within 1 %, in three states; videos with the stated frames, size
 * and rate whose frame k is the movement's frame k; and its bad input.
 * The renderer runs with no DISPLAY. */
#include <X11/keysym.h>
#include <gif_lib.h>
#include <gmock/gmock.h>
#include <png.h>
#include <stdio.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <set>

#include "window_support.h"

using testing::HasSubstr;

/* Runs mienscope-render in folder with no DISPLAY. */
static ProgramRun render(const std::string &folder, const std::vector<std::string> &args)
{
    return run_program(RENDER_BINARY, args, "", folder, true);
}

TEST_F(WindowTest, StillsAreTheViewersPictures)
{
    ASSERT_TRUE(start_viewer());
    const int sm1 = shape_of("sm1.dat"), sm2 = shape_of("sm2.dat");
    Camera camera;
    Image window;
    ASSERT_TRUE(wait_for_image(viewer, [&](const Image &i) { return face_drawn(i, camera, sm1, 0, green); },
                               window_deadline, &window));
    ProgramRun run = render(folder, {"--faces", "first", "start.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_LE(coloured_difference(window, read_png_image(folder + "/start.png")), 0.01) << "exhibit 1 at start-up";

    send_key(viewer, XK_c);
    ASSERT_TRUE(wait_for_image(
        viewer, [&](const Image &i) { return face_drawn(i, camera, sm1, 179, green) && face_drawn(i, camera, sm2, 179, red); },
        window_deadline, &window));
    ASSERT_EQ(render(folder, {"--frame", "179", "both.png"}).status, 0);
    EXPECT_LE(coloured_difference(window, read_png_image(folder + "/both.png")), 0.01) << "after c, frame 179";

    /* 10 presses of Left and 5 of Up turn by -20 and -10 degrees; 5 of
     * '<' take the distance to 5 x 1.1^5, rounded to a float each time. */
    for (int i = 0; i < 10; i++)
        send_key(viewer, XK_Left);
    for (int i = 0; i < 5; i++)
        send_key(viewer, XK_Up);
    float zoom = 5.0f;
    for (int i = 0; i < 5; i++) {
        send_key(viewer, XK_less);
        zoom = (float)(zoom * 1.1);
    }
    camera.rotate_y = -20.0;
    camera.rotate_x = -10.0;
    camera.zoom = zoom;
    ASSERT_TRUE(wait_for_image(
        viewer, [&](const Image &i) { return face_drawn(i, camera, sm1, 0, green) && face_drawn(i, camera, sm2, 0, red); },
        window_deadline, &window));
    char distance[32];
    snprintf(distance, sizeof distance, "%.9g", zoom);
    ASSERT_EQ(render(folder, {"--turn-y", "-20", "--turn-x", "-10", "--distance", distance, "turned.png"}).status, 0);
    EXPECT_LE(coloured_difference(window, read_png_image(folder + "/turned.png")), 0.01) << "turned and moved";
}

/* A video read back with the libraries it was written with. */
struct Video {
    int width = 0, height = 0, frames = 0;
    AVRational rate = {0, 1};
    std::string pixel_format;
    Image frame_90; /* RGB */
};

static void keep_frame(const AVFrame *frame, Image *out)
{
    SwsContext *scale = sws_getContext(frame->width, frame->height, (AVPixelFormat)frame->format, frame->width,
                                       frame->height, AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    out->width = frame->width;
    out->height = frame->height;
    out->rgb.resize((size_t)out->width * out->height * 3);
    uint8_t *planes[1] = {out->rgb.data()};
    int strides[1] = {out->width * 3};
    sws_scale(scale, frame->data, frame->linesize, 0, frame->height, planes, strides);
    sws_freeContext(scale);
}

/* Every packet decoded, so that the count is of frames, not of packets. */
static Video read_video(const std::string &path)
{
    Video video;
    AVFormatContext *format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0 || avformat_find_stream_info(format, nullptr) < 0)
        return video;
    AVStream *stream = format->streams[0];
    video.rate = stream->r_frame_rate;
    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    AVCodecContext *decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, stream->codecpar);
    avcodec_open2(decoder, codec, nullptr);
    AVPacket *packet = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    bool more = true;
    while (more) {
        more = av_read_frame(format, packet) >= 0;
        avcodec_send_packet(decoder, more ? packet : nullptr);
        while (avcodec_receive_frame(decoder, frame) >= 0) {
            video.width = frame->width;
            video.height = frame->height;
            const char *name = av_get_pix_fmt_name((AVPixelFormat)frame->format);
            video.pixel_format = name ? name : "";
            if (video.frames++ == 90)
                keep_frame(frame, &video.frame_90);
        }
        av_packet_unref(packet);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return video;
}

TEST(Render, VideosHoldEveryFrameAtTheirRateAndFrameKIsTheMovementsFrameK)
{
    std::string folder = make_temp_folder();
    make_scene_folder(folder);
    ASSERT_EQ(render(folder, {"--frame", "90", "still90.png"}).status, 0);
    ASSERT_EQ(render(folder, {"--frame", "0", "still0.png"}).status, 0);
    Image still90 = read_png_image(folder + "/still90.png"), still0 = read_png_image(folder + "/still0.png");
    ASSERT_GT(coloured_difference(still0, still90), 0.5) << "frames 0 and 90 differ, so a frozen video shows";

    ProgramRun run = render(folder, {"movement.mp4"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    Video mp4 = read_video(folder + "/movement.mp4");
    EXPECT_EQ(mp4.frames, 180);
    EXPECT_EQ(mp4.width, 640);
    EXPECT_EQ(mp4.height, 1024);
    EXPECT_EQ(mp4.pixel_format, "yuv420p");
    EXPECT_EQ(mp4.rate.num, 30);
    EXPECT_EQ(mp4.rate.den, 1);
    EXPECT_LE(coloured_difference(mp4.frame_90, still90), 0.1) << "allowing for compression at the edges";

    ASSERT_EQ(render(folder, {"--fps", "24", "--size", "320x512", "--frames", "10:99", "part.mp4"}).status, 0);
    Video part = read_video(folder + "/part.mp4");
    EXPECT_EQ(part.frames, 90);
    EXPECT_EQ(part.width, 320);
    EXPECT_EQ(part.rate.num, 24);

    ASSERT_EQ(render(folder, {"--fps", "30", "movement.gif"}).status, 0);
    int code = 0;
    GifFileType *gif = DGifOpenFileName((folder + "/movement.gif").c_str(), &code);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK);
    EXPECT_EQ(gif->ImageCount, 180);
    EXPECT_EQ(gif->SWidth, 640);
    EXPECT_EQ(gif->SHeight, 1024);
    GraphicsControlBlock control;
    ASSERT_EQ(DGifSavedExtensionToGCB(gif, 90, &control), GIF_OK);
    EXPECT_EQ(control.DelayTime, 3) << "round(100 / 30) hundredths of a second";
    bool loops = false;
    for (int i = 0; i < gif->SavedImages[0].ExtensionBlockCount; i++) {
        const ExtensionBlock &block = gif->SavedImages[0].ExtensionBlocks[i];
        loops = loops || (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                          memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0);
    }
    EXPECT_TRUE(loops) << "a NETSCAPE2.0 block makes it loop";
    Image frame_90 = still90;
    const SavedImage &image = gif->SavedImages[90];
    const ColorMapObject *map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    for (size_t p = 0; p < (size_t)640 * 1024; p++) {
        const GifColorType &c = map->Colors[image.RasterBits[p]];
        frame_90.rgb[p * 3] = c.Red, frame_90.rgb[p * 3 + 1] = c.Green, frame_90.rgb[p * 3 + 2] = c.Blue;
    }
    EXPECT_EQ(frame_90.rgb, still90.rgb) << "the GIF's palette holds the flat colours exactly";
    DGifCloseFile(gif, &code);
}

/* A GIF's frame count and one frame's delay, read back. */
static std::pair<int, int> gif_frames_and_delay(const std::string &path)
{
    int code = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &code);
    if (!gif || DGifSlurp(gif) != GIF_OK)
        return {-1, -1};
    GraphicsControlBlock control;
    int delay = DGifSavedExtensionToGCB(gif, 0, &control) == GIF_OK ? control.DelayTime : -1;
    std::pair<int, int> result = {gif->ImageCount, delay};
    DGifCloseFile(gif, &code);
    return result;
}

/* A GIF's first frame as a picture. */
static Image gif_first_frame(const std::string &path)
{
    Image image;
    int code = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &code);
    if (!gif || DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1)
        return image;
    const SavedImage &saved = gif->SavedImages[0];
    const ColorMapObject *map = saved.ImageDesc.ColorMap ? saved.ImageDesc.ColorMap : gif->SColorMap;
    image.width = gif->SWidth;
    image.height = gif->SHeight;
    for (size_t p = 0; p < (size_t)image.width * image.height; p++) {
        const GifColorType &c = map->Colors[saved.RasterBits[p]];
        image.rgb.insert(image.rgb.end(), {c.Red, c.Green, c.Blue});
    }
    DGifCloseFile(gif, &code);
    return image;
}

TEST(Render, GifDelaysAreRoundedAndAPartStartsAtItsFirstFrame)
{
    std::string folder = make_temp_folder();
    make_scene_folder(folder);
    /* 100 / 15 = 6.67 hundredths, rounded to 7; 100 / 40 = 2.5, to 3; 50 a second, the most, 2. */
    for (const auto &fps : {std::make_pair("15", 7), std::make_pair("40", 3), std::make_pair("50", 2)}) {
        ProgramRun run = render(folder, {"--force", "--size", "80x128", "--frames", "0:9", "--fps", fps.first, "d.gif"});
        ASSERT_EQ(run.status, 0) << fps.first << ": " << run.err;
        EXPECT_EQ(gif_frames_and_delay(folder + "/d.gif"), std::make_pair(10, fps.second)) << "--fps " << fps.first;
    }
    ASSERT_EQ(render(folder, {"--size", "160x256", "--frames", "90:99", "part.gif"}).status, 0);
    ASSERT_EQ(render(folder, {"--size", "160x256", "--frame", "90", "still90.png"}).status, 0);
    ASSERT_EQ(render(folder, {"--size", "160x256", "--frame", "0", "still0.png"}).status, 0);
    Image first = gif_first_frame(folder + "/part.gif");
    EXPECT_EQ(first.rgb, read_png_image(folder + "/still90.png").rgb) << "the part's first frame is frame 90";
    EXPECT_NE(first.rgb, read_png_image(folder + "/still0.png").rgb);
}

TEST(Render, RecordingsAsTheirMarkerFilesAndVideosAtTheirPace)
{
    const std::string source = SOURCE_DIR;
    const struct {
        std::string recording, set;
        int rate_num, rate_den; /* 179 / span as the smallest fraction */
    } cases[] = {
        {"c3d/Vicon.c3d", source + "/tests/data/vicon24.set", 17900, 579},      /* 5.79 s */
        {"trc/subject01_walk1.trc", source + "/tests/data/walk24.set", 358, 5}, /* 2.5 s */
        {"openface/smile_demo.csv", source + "/examples/openface-24.set", 4475, 489}, /* 19.56 s */
        {"openface/OpenFace_Test.csv", source + "/examples/openface-24.set", 0, 0},  /* 0.099 s: clamped */
    };
    std::string folder = make_temp_folder();
    for (const auto &c : cases) {
        REQUIRE_TESTDATA(c.recording);
        std::string recording = testdata_path(c.recording), imported = folder + "/imported.dat";
        ASSERT_EQ(run_program(IMPORT_BINARY, {"--force", "--markers", c.set, recording, imported}).status, 0);
        for (const char *frame : {"0", "120"}) {
            ASSERT_EQ(render(folder, {"--force", "--frame", frame, "--markers", c.set, recording, "direct.png"}).status, 0);
            ASSERT_EQ(render(folder, {"--force", "--frame", frame, "--markers", c.set, imported, "file.png"}).status, 0);
            Image direct = read_png_image(folder + "/direct.png"), from_file = read_png_image(folder + "/file.png");
            EXPECT_GT(count_colour(direct, green), 500) << c.recording;
            EXPECT_GT(count_colour(direct, blue), 50) << "the set's segments";
            EXPECT_LE(coloured_difference(direct, from_file), 0.0005) << c.recording << " frame " << frame;
        }
        if (c.rate_num == 0)
            continue;
        ASSERT_EQ(render(folder, {"--force", "--size", "160x256", "--markers", c.set, recording, "pace.mp4"}).status, 0);
        Video video = read_video(folder + "/pace.mp4");
        EXPECT_EQ(video.frames, 180);
        EXPECT_EQ(video.rate.num, c.rate_num) << c.recording;
        EXPECT_EQ(video.rate.den, c.rate_den) << c.recording;
    }
    /* Too fast a pace is held at the limit, with a line saying so. */
    REQUIRE_TESTDATA("openface/OpenFace_Test.csv");
    ProgramRun run = render(folder, {"--force", "--size", "160x256", testdata_path("openface/OpenFace_Test.csv"), "fast.mp4"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("mienscope-render: the recording's pace, 1808.08 frames a second, is outside 1 to 240; "
                                   "the video plays at 240\n"));
    EXPECT_EQ(read_video(folder + "/fast.mp4").rate.num, 240);

    /* A marker file's pace from --duration; the first file's time before the second's. */
    make_scene_folder(folder);
    ASSERT_EQ(render(folder, {"--force", "--size", "160x256", "--duration", "7.16", "face-data/sm1.dat", "slow.mp4"}).status, 0);
    Video slow = read_video(folder + "/slow.mp4");
    EXPECT_EQ(slow.rate.num, 25) << "179 frames in 7.16 s";
    EXPECT_EQ(slow.rate.den, 1);
    ASSERT_EQ(render(folder, {"--force", "--size", "160x256", "--fps", "29.97", "face-data/sm1.dat", "ntsc.mp4"}).status, 0);
    Video ntsc = read_video(folder + "/ntsc.mp4");
    EXPECT_EQ(ntsc.rate.num, 2997);
    EXPECT_EQ(ntsc.rate.den, 100);
    ASSERT_EQ(render(folder, {"--force", "--size", "80x128", "--duration", "17.9", "face-data/sm1.dat", "slow.gif"}).status, 0);
    EXPECT_EQ(gif_frames_and_delay(folder + "/slow.gif"), std::make_pair(180, 10)) << "10 frames a second";
}

TEST(Render, BadInputAndLimits)
{
    std::string folder = make_temp_folder();
    make_scene_folder(folder);
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{}, 2, "mienscope-render: no OUTPUT given\nUsage: "},
        {{"out.jpg"}, 2, "OUTPUT \"out.jpg\" ends in none of .png, .mp4, .gif and .html"},
        {{"--fps", "30", "out.html"}, 2, "a page plays at the recordings' pace: --fps is for videos"},
        {{"--frames", "10:20", "--frame", "30", "out.html"}, 2, "--frame 30 is not among the page's --frames 10:20"},
        {{"--size", "8193x100", "out.png"}, 2, "--size \"8193x100\" is not WxH with each from 1 to 8192"},
        {{"--size", "641x1024", "out.mp4"}, 2, "an MP4 needs an even width and height; --size 641x1024 is not"},
        {{"--frame", "180", "out.png"}, 2, "--frame \"180\" is not a whole number from 0 to 179"},
        {{"--frames", "20:10", "out.mp4"}, 2, "--frames \"20:10\" is not A:B with 0 <= A <= B <= 179"},
        {{"--fps", "0", "out.mp4"}, 2, "--fps \"0\" is not a number from 1 to 240"},
        {{"--fps", "241", "out.mp4"}, 2, "--fps \"241\""},
        {{"--fps", "60", "out.gif"}, 2, "--fps 60: a GIF frame lasts whole hundredths of a second, so at most 50"},
        {{"--exhibit", "6", "out.png"}, 2, "--exhibit \"6\" is not a whole number from 1 to 5"},
        {{"face-data/sm1.dat", "--faces", "both", "out.png"}, 2, "--faces both needs a SECOND file"},
        {{"--distance", "0", "out.png"}, 2, "mienscope-render: --distance \"0\" is not a number above 0\nUsage: "},
        {{"--distance", "-5", "out.png"}, 2, "mienscope-render: --distance \"-5\" is not a number above 0\nUsage: "},
        {{"--line-file", "nosuch.dat", "face-data/sm1.dat", "out.png"}, 1,
         "nosuch.dat: can't be read: No such file or directory\n"},
        {{"none.dat", "out.png"}, 1, "none.dat: can't be read: No such file or directory\n"},
        {{"no/such/folder/out.png"}, 1, "no/such/folder/out.png: can't be created"},
    };
    for (const auto &c : cases) {
        ProgramRun run = render(folder, c.args);
        EXPECT_EQ(run.status, c.status) << c.message;
        EXPECT_THAT(run.err, HasSubstr(c.message));
        EXPECT_TRUE(read_file(folder + "/out.png").empty() && read_file(folder + "/out.mp4").empty() &&
                    read_file(folder + "/out.html").empty())
            << c.message;
    }
    write_file(folder + "/kept.png", "mine");
    ProgramRun run = render(folder, {"kept.png"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "kept.png: exists; --force replaces it, and without it the file is left untouched\n");
    EXPECT_EQ(read_file(folder + "/kept.png"), "mine");
    EXPECT_EQ(render(folder, {"--force", "kept.png"}).status, 0);
    EXPECT_EQ(read_file(folder + "/kept.png").substr(1, 3), "PNG");

    /* What is read is never written over, a recording never replaced; a video this program made is. */
    write_file(folder + "/lines.png", read_file(folder + "/face-data/line.dat"));
    run = render(folder, {"--force", "--line-file", "lines.png", "face-data/sm1.dat", "lines.png"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "lines.png: is the line file being read; choose another name\n");
    EXPECT_EQ(read_file(folder + "/lines.png"), read_file(folder + "/face-data/line.dat"));
    std::string capture = read_file(std::string(SOURCE_DIR) + "/examples/smile.c3d");
    write_file(folder + "/capture.mp4", capture);
    run = render(folder, {"--force", "capture.mp4"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "capture.mp4: is a recording, not a video Mienscope made; it is not replaced\n");
    EXPECT_EQ(read_file(folder + "/capture.mp4"), capture);
    ASSERT_EQ(render(folder, {"--size", "80x128", "--frames", "0:9", "again.mp4"}).status, 0);
    EXPECT_EQ(render(folder, {"--force", "--size", "80x128", "--frames", "0:19", "again.mp4"}).status, 0);
    EXPECT_EQ(read_video(folder + "/again.mp4").frames, 20);

    /* Marker files with no face-data/line.dat: no segments, and the caption names them. */
    std::string bare = make_temp_folder();
    write_file(bare + "/a.dat", read_file(folder + "/face-data/sm1.dat"));
    ASSERT_EQ(render(bare, {"a.dat", "a.png"}).status, 0);
    Image picture = read_png_image(bare + "/a.png");
    EXPECT_GT(count_colour(picture, green), 1000);
    EXPECT_EQ(count_colour(picture, blue), 0);
    EXPECT_GT(count_colour(picture, white), 20) << "the caption";
    ASSERT_EQ(render(bare, {"--no-caption", "--force", "a.dat", "a.png"}).status, 0);
    EXPECT_EQ(count_colour(read_png_image(bare + "/a.png"), white), 0);

    unlink((folder + "/face-data/line.dat").c_str());
    run = render(folder, {"line.png"});
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.err, "can't open input file: face-data/line.dat\n");
}
