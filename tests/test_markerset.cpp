/* Marker-set files: what is refused, and how labels find points. */
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "importfiles.h"
#include "markerset.h"

using testing::HasSubstr;

/* Markers m0 .. m23, one a line from line 1, then the extra lines. */
static std::string set_text(const std::string &extra, int markers = 24)
{
    std::string text;
    for (int i = 0; i < markers; i++)
        text += "marker m" + std::to_string(i) + "\n";
    return text + extra;
}

static std::string parse_error(const std::string &text)
{
    MarkerSet set;
    std::string error;
    EXPECT_FALSE(parse_marker_set(text.data(), text.size(), "face.set", &set, &error)) << text;
    return error;
}

TEST(MarkerSet, MalformedSetsAreRefusedWithTheirLine)
{
    EXPECT_EQ(parse_error(set_text("", 23)), "face.set: has 23 marker lines; a set names exactly 24");
    EXPECT_EQ(parse_error(set_text("marker m3\n")), "face.set:25: marker \"m3\" is named twice (first on line 4)");
    EXPECT_EQ(parse_error(set_text("segment m1 nose\n")),
              "face.set:25: segment names \"nose\", which is not one of the set's markers");
    EXPECT_EQ(parse_error(set_text("markers m1\n")),
              "face.set:25: \"markers m1\" is not a marker LABEL [as NAME], segment LABEL LABEL, rigid LABEL or pair LEFT RIGHT line");
    EXPECT_THAT(parse_error(set_text("segment m1\n")), HasSubstr("face.set:25: "));
    EXPECT_THAT(parse_error(set_text("marker \"open\n")), HasSubstr("face.set:25: a quoted label is empty or not closed"));
    EXPECT_EQ(parse_error(set_text("rigid a\nrigid b\n")),
              "face.set: has 2 rigid points; holding the head still needs at least 3");
    EXPECT_EQ(parse_error(set_text("pair m1 nose\n")), "face.set:25: pair names \"nose\", which is not one of the set's markers");
    EXPECT_EQ(parse_error(set_text("pair m2 m2\n")), "face.set:25: pair joins \"m2\" with itself");
    EXPECT_EQ(parse_error(set_text("pair m1 m2\npair m3 m1\n")),
              "face.set:26: \"m1\" is in a pair already, on line 25");
    EXPECT_EQ(parse_error(set_text("pair m1 m2\npair m3 m2\n")),
              "face.set:26: \"m2\" is in a pair already, on line 25");
    std::string many;
    for (int i = 0; i < 101; i++)
        many += "segment m0 m1\n";
    EXPECT_EQ(parse_error(set_text(many)), "face.set: has 101 segment lines; the viewer draws at most 100");
}

TEST(MarkerSet, CommentsQuotesAndSegmentsAreRead)
{
    std::string text = "# a template\npair m5 m0\n" + set_text("segment m0 \"m23\"  # chin\n  segment m5 m6\npair m4 m1\n");
    text.replace(text.find("marker m7\n"), 10, "marker \"r should\" # BTS writes blanks\n");
    MarkerSet set;
    std::string error;
    ASSERT_TRUE(parse_marker_set(text.data(), text.size(), "face.set", &set, &error)) << error;
    ASSERT_EQ(set.markers.size(), 24u);
    EXPECT_EQ(set.markers[7].label, "r should");
    EXPECT_EQ(set.markers[7].line, 10);
    ASSERT_EQ(set.segments.size(), 2u);
    EXPECT_EQ(set.segments[0], (std::array<int, 2>{0, 23}));
    EXPECT_EQ(set.segments[1], (std::array<int, 2>{5, 6}));
    ASSERT_EQ(set.pairs.size(), 2u) << "a pair may stand before its markers";
    EXPECT_EQ(set.pairs[0], (std::array<int, 2>{5, 0}));
    EXPECT_EQ(set.pairs[1], (std::array<int, 2>{4, 1}));
}

/* A recording whose points have these labels. */
static Recording labelled(const std::vector<std::string> &labels)
{
    Recording rec;
    for (const std::string &l : labels)
        rec.points.push_back(Point{l, "", true});
    return rec;
}

static std::string select_error(const std::string &marker0, const std::vector<std::string> &labels)
{
    std::string text = set_text("");
    text.replace(0, text.find('\n'), "marker " + marker0);
    MarkerSet set;
    Selection selection;
    std::string error;
    EXPECT_TRUE(parse_marker_set(text.data(), text.size(), "face.set", &set, &error)) << error;
    EXPECT_FALSE(select_by_set(set, labelled(labels), &selection, &error));
    return error;
}

TEST(MarkerSet, LabelsFindOnePointEachOrSayWhyNot)
{
    std::vector<std::string> labels = {"Jane:LMC", "LMC", "Jane:RMC", "Bob:RMC", "lmc_up", "Jane:lmcx"};
    for (int i = 1; i < 24; i++)
        labels.push_back("m" + std::to_string(i));
    Recording rec = labelled(labels);
    std::string text = set_text("segment m1 m2\n");
    text.replace(0, text.find('\n'), "marker LMC");
    MarkerSet set;
    Selection selection;
    std::string error;
    ASSERT_TRUE(parse_marker_set(text.data(), text.size(), "face.set", &set, &error));
    ASSERT_TRUE(select_by_set(set, rec, &selection, &error)) << error;
    EXPECT_EQ(selection.markers[0], 1u) << "an exact label wins over a subject prefix";
    EXPECT_EQ(selection.markers[23], 28u);

    EXPECT_EQ(select_error("RMC", labels), "face.set:1: \"RMC\" matches 2 points: 2 \"Jane:RMC\" 3 \"Bob:RMC\"");
    EXPECT_EQ(select_error("MC", labels),
              "face.set:1: \"MC\" matches no point of the recording; labels that contain it: \"Jane:LMC\", \"LMC\", "
              "\"Jane:RMC\", \"Bob:RMC\", \"lmc_up\"");
    EXPECT_EQ(select_error("nose", labels), "face.set:1: \"nose\" matches no point of the recording; no label contains it");
    EXPECT_EQ(select_error("Jane:m5", {"Jane:m5", "m1", "m2", "m3", "m4"}),
              "face.set:6: \"m5\" is point 0 \"Jane:m5\", which line 1 already chose");
}
