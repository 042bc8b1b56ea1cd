// Every input the image fuzzer stopped on, loaded as the fuzz target loads it:
// through GdiBitmap into a sprite, without a crash, in little memory, and
// leaving no platform object behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "display/gdi_bitmap.h"
#include "display/sprite.h"
#include "game_fixture.h"

namespace {

namespace fs = std::filesystem;

fs::path regressionsDir() {
    return fs::path(VARNHOLT_SOURCE_DIR) / "tests/fuzz/regressions";
}

std::vector<std::string> regressionInputs() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(regressionsDir()))
        if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Read when the test runs, so that an input added to the folder is tried
// without a rebuild.
TEST(FuzzRegressions, EachLoadsOrFailsSmallAndLeavesNothingBehind) {
    fixture::useArtCopy();
    fixture::startDisplayOnly();
    const std::vector<std::string> inputs = regressionInputs();
    ASSERT_FALSE(inputs.empty());
    const long peakBefore = fixture::peakResidentKilobytes();
    for (const std::string& name : inputs) {
        SCOPED_TRACE(name);
        // The fuzz target names a file by its signature; the inputs keep theirs.
        fs::copy_file(regressionsDir() / name, name, fs::copy_options::overwrite_existing);
        const int liveBefore = vh::test::liveObjectCount();
        {
            GdiBitmap bitmap;
            ResultCode loaded = bitmap.loadFromFile(name.c_str());
            Sprite sprite(1, 128, 128);
            ResultCode filled = sprite.fill(bitmap, 0, 0, 0, 0);
            if (loaded == result::kOk) {
                EXPECT_EQ(filled, result::kOk);
                EXPECT_LE(int64_t(bitmap.width) * bitmap.height, int64_t(4096) * 4096);
            } else {
                EXPECT_TRUE(result::failed(filled));
            }
        }
        EXPECT_EQ(vh::test::liveObjectCount(), liveBefore);
    }
    // No input was decoded at its declared size, nor at a hidden frame's.
    EXPECT_LT(fixture::peakResidentKilobytes() - peakBefore, 64L * 1024);
}

}  // namespace
