/* The viewer's caption and title with files, worked out by hand: frame f
 * of a movement of D seconds is f x D / 179 s in, the last frame at D. */
#include <gtest/gtest.h>
#include <math.h>

#include "files.h"

TEST(ViewerCaption, TimeSpeedAndNames)
{
    EXPECT_EQ(playing_caption({"face-data/sm1.dat"}, 179, 6.0, 1.0), "sm1.dat - frame 179, 6.00 s") << "End of 6 s";
    EXPECT_EQ(playing_caption({"a/sm1.dat", "b/sm2.dat"}, 90, 6.0, 0.5), "sm1.dat, sm2.dat - frame 90, 3.02 s, speed 0.5");
    EXPECT_EQ(playing_caption({"smile.c3d"}, 0, NAN, 2.0), "smile.c3d - frame 0, speed 2") << "no time without a duration";
    EXPECT_DOUBLE_EQ(frame_period(5.9), 5.9 / 179);
    EXPECT_DOUBLE_EQ(frame_period(NAN), 6.0 / 179) << "180 frames in 6 s when no file knows";
    EXPECT_EQ(window_title({"x/sm1.dat", "sm2.dat"}), "Mienscope - sm1.dat, sm2.dat");
}

TEST(ViewerCaption, PlayIsAnOption)
{
    const char *argv[] = {"mienscope", "--play", "--speed", "0.05", "a.dat", "b.dat"};
    ViewerRequest request;
    std::string error;
    ASSERT_TRUE(parse_viewer_command(6, (char **)argv, &request, &error)) << error;
    EXPECT_TRUE(request.play);
    EXPECT_EQ(request.speed, 0.05);
    EXPECT_EQ(request.files.size(), 2u);
}
