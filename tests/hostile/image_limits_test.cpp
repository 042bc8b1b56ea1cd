// Image files at the decoder's limits: pictures exactly as wide as it
// accepts and one pixel wider, and files too large to be pictures it would
// accept, which are refused by their size before a byte is read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "game_fixture.h"
#include "image_files.h"

namespace {

using fixture::Bytes;

// The widest picture the decoder accepts; its pixels must fit a surface.
constexpr int kWidest = 16384;
// The most pixel bytes it accepts, and so the largest file it reads.
constexpr off_t kLargestFile = off_t(64) << 20;

class ImageLimits : public fixture::ImageTest {
  protected:
    // A file of `size` bytes of zeros that takes no room on the disk.
    std::wstring sparse(const std::string& name, off_t size) {
        int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(ftruncate(fd, size), 0);
        close(fd);
        return gamePath(name);
    }
};

Bytes pngOneRow(int width) {
    return fixture::makePng({.width = width, .height = 1, .colorType = 2, .pixel = [](int x, int) {
                                 return Bytes{uint8_t(x), uint8_t(x >> 8), 7};
                             }});
}

Bytes gifOneRow(int width) {
    return fixture::makeGif(width, 1, Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, -1,
                            [](int x, int) { return uint8_t(x % 4); });
}

TEST_F(ImageLimits, PicturesExactlyAsWideAsAcceptedDecodeAndOneMoreDoesNot) {
    for (auto [name, bytes, wider] :
         {std::tuple{"wide.png", pngOneRow(kWidest), pngOneRow(kWidest + 1)},
          std::tuple{"wide.gif", gifOneRow(kWidest), gifOneRow(kWidest + 1)}}) {
        SCOPED_TRACE(name);
        write(name, bytes);
        vh::test::Picture picture = vh::test::decodeImageFile(name);
        ASSERT_EQ(picture.width, kWidest);
        EXPECT_EQ(picture.height, 1);
        EXPECT_EQ(picture.at(kWidest - 1, 0),
                  std::string(name) == "wide.png" ? 0xFF3F07u : 0x0A0B0Cu);
        EXPECT_EQ(loadStatus(write(name, bytes)), Gdiplus::Ok);
        write(name, wider);
        EXPECT_TRUE(vh::test::decodeImageFile(name).pixels.empty());
        EXPECT_EQ(loadStatus(write(name, wider)), Gdiplus::OutOfMemory);
    }
}

TEST_F(ImageLimits, AFileLargerThanAnyAcceptedPictureIsRefusedByItsSize) {
    const long peakBefore = fixture::peakResidentKilobytes();
    EXPECT_EQ(loadStatus(sparse("huge.png", off_t(200) << 20)), Gdiplus::OutOfMemory);
    EXPECT_EQ(loadStatus(sparse("over.png", kLargestFile + 1)), Gdiplus::OutOfMemory);
    // Never read: the process stayed small.
    EXPECT_LT(fixture::peakResidentKilobytes() - peakBefore, 16L * 1024);
    // A file of exactly that size is read, and found to be no picture.
    EXPECT_EQ(loadStatus(sparse("largest.png", kLargestFile)), Gdiplus::UnknownImageFormat);
}

TEST(HugeArtFile, TheGameStartsAndStaysSmallWithTwoHundredMegabytesAtAnArtPath) {
    const std::string dir = fixture::useArtCopy();
    ASSERT_EQ(truncate((dir + "/Lots/lot_base.png").c_str(), off_t(200) << 20), 0);
    const long peakBefore = fixture::peakResidentKilobytes();
    vh::test::Picture first;
    fixture::play(2, [&](int frame) {
        if (frame == 1) first = vh::test::presentedFrame();
    });
    EXPECT_LT(fixture::peakResidentKilobytes() - peakBefore, 32L * 1024);
    ASSERT_EQ(first.width, 1024);
    EXPECT_EQ(fixture::mismatches(first, 0, 0, fixture::art("GUI/sb_top.png"), 256, 240), 0);
}

}  // namespace
