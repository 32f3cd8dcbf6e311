/* The one rule for the files no program replaces: recordings and videos,
 * except what Mienscope made and can make again. The MP4s are built box
 * by box here, as ISO/IEC 14496-12 lays them out, with the comment where
 * an MP4 writer's "comment" tag goes (moov/udta/meta/ilst/\xa9cmt/data). */
#include <gtest/gtest.h>

#include <string>

#include "openface.h"
#include "opening.h"
#include "testfiles.h"

static std::string box(const char *type, const std::string &contents)
{
    size_t n = 8 + contents.size();
    std::string size = {(char)(n >> 24), (char)(n >> 16), (char)(n >> 8), (char)n};
    return size + std::string(type, 4) + contents;
}

/* ftyp, an mdat of media, then moov with the comment; the meta box is a full box (4 bytes of version and
 * flags before its children), data has 4 bytes of type and 4 of locale before the text. */
static std::string mp4_with_comment(const std::string &comment)
{
    std::string data = box("data", std::string("\0\0\0\1\0\0\0\0", 8) + comment);
    std::string meta = box("meta", std::string(4, '\0') + box("hdlr", std::string(25, '\0')) +
                                       box("ilst", box("\xa9too", box("data", std::string(8, '\0') + "x")) +
                                                       box("\xa9" "cmt", data)));
    return box("ftyp", "isom\0\0\2\0isomiso2") + box("mdat", std::string(1000, '\x55')) +
           box("moov", box("mvhd", std::string(100, '\0')) + box("udta", meta));
}

TEST(NeverReplaced, RecordingsAndOthersVideosAreKeptWhatMienscopeMadeIsNot)
{
    std::string folder = make_temp_folder();
    write_file(folder + "/ours.mp4", mp4_with_comment("made by Mienscope"));
    write_file(folder + "/holiday.mp4", mp4_with_comment("our holiday"));
    write_file(folder + "/longer.mp4", mp4_with_comment("made by Mienscope, and edited"));
    std::string plain = mp4_with_comment("made by Mienscope");
    plain.resize(plain.size() - 40); /* the moov box cut short: no comment can be read */
    write_file(folder + "/cut.mp4", plain);
    write_file(folder + "/table.csv", tracker_table_header() + "1, 0, 0.000000\n");
    write_file(folder + "/notes.txt", "made by Mienscope\n");
    EXPECT_FALSE(is_never_replaced(folder + "/ours.mp4"));
    EXPECT_TRUE(is_never_replaced(folder + "/holiday.mp4"));
    EXPECT_TRUE(is_never_replaced(folder + "/longer.mp4"));
    EXPECT_TRUE(is_never_replaced(folder + "/cut.mp4"));
    EXPECT_FALSE(is_never_replaced(folder + "/table.csv"));
    EXPECT_FALSE(is_never_replaced(folder + "/notes.txt"));
    EXPECT_FALSE(is_never_replaced(folder + "/nothing-here.mp4"));
    if (!testdata_present("openface/OpenFace_Test.csv") || !testdata_present("video/single_face.mp4"))
        GTEST_SKIP() << "no shared test recordings beside the checkout: the real OpenFace table and video are not tried";
    EXPECT_TRUE(is_never_replaced(testdata_path("openface/OpenFace_Test.csv")));
    EXPECT_TRUE(is_never_replaced(testdata_path("video/single_face.mp4")));
}
