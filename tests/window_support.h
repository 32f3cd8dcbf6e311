/* Shared pieces of the window tests: a private X server for the whole
 * suite, a viewer started on the crafted scene, and pixel checks. */
#ifndef MIENSCOPE_WINDOW_SUPPORT_H
#define MIENSCOPE_WINDOW_SUPPORT_H

#include <gtest/gtest.h>

#include "scene.h"
#include "xharness.h"

extern const double window_deadline; /* seconds to wait for any expected picture */

struct Rgb {
    unsigned char r, g, b;
};
extern const Rgb green, red, blue, white;

class WindowTest : public ::testing::Test {
  protected:
    static Xserver server;
    Viewer viewer;
    std::string folder;

    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void TearDown() override;
    bool start_viewer();                     /* in a new folder holding the crafted scene */
    bool start_viewer_on_exhibit_1();        /* and wait for its start-up picture */
};

bool colour_at(const Image &image, double column, double row, Rgb colour, int radius = 0);
long count_colour(const Image &image, Rgb colour);
bool face_drawn(const Image &image, const Camera &camera, int shape, int frame, Rgb colour); /* all 24 centres */
bool segments_drawn(const Image &image, const Camera &camera, int shape, int frame);         /* every midpoint blue */
bool no_segment_drawn(const Image &image, const Camera &camera, int shape, int frame);       /* no midpoint blue */
double coloured_difference(const Image &a, const Image &b); /* green, red and blue pixels not shared, as a share of all */

#endif
