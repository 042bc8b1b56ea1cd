// Image files written into a fresh folder and loaded through GDI+, as the
// game loads its art.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "image_bytes.h"
#include "win32/gdiplus.h"

using fixture::Bytes;
using namespace Gdiplus;
using namespace Gdiplus::DllExports;

class ImageFiles : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/varnholt-images-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        GdiplusStartupInput input;
        ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
    }
    void TearDown() override {
        GdiplusShutdown(token_);
        std::filesystem::remove_all(folder_);
    }

    std::string write(const std::string& name, const Bytes& bytes) {
        std::string path = folder_ + "/" + name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        EXPECT_TRUE(fixture::writeFile(path, bytes)) << path;
        return path;
    }

    static std::wstring wide(const std::string& text) {
        return std::wstring(text.begin(), text.end());
    }

    // Loads through GDI+ as the game does; the status of the load.
    Status load(const std::string& path, GpBitmap** image) {
        return GdipCreateBitmapFromFile(wide(path).c_str(), image);
    }
    // The same, the image given back at once.
    Status load(const std::string& path) {
        GpBitmap* image = nullptr;
        const Status status = load(path, &image);
        if (image) GdipDisposeImage(image);
        return status;
    }

    std::string folder_;
    ULONG_PTR token_ = 0;
};

constexpr uint32_t kMagenta = 0xFF00FF;
