// Image files written into a fresh folder and loaded through GDI+ as the
// game loads its art, and GDI bitmaps read back pixel by pixel: for the
// conformance tests, on our layer and on Windows alike, and for the tests of
// our layer's decoder.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <gdiplus.h>
#else
#include <win32/gdiplus.h>
#include <win32/windows.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "image_bytes.h"
#include "temp_folder.h"

namespace fixture {

// The pixels of a GDI bitmap, read back through a memory device context.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> colours;
    COLORREF at(int x, int y) const { return colours[size_t(y) * size_t(width) + size_t(x)]; }
};

inline BITMAP describeBitmap(HBITMAP bitmap) {
    BITMAP info{};
    EXPECT_EQ(GetObjectA(bitmap, sizeof(info), &info), int(sizeof(info)));
    return info;
}

inline Pixels readBitmap(HBITMAP bitmap) {
    Pixels pixels;
    BITMAP info = describeBitmap(bitmap);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ original = SelectObject(dc, bitmap);
    if (!dc || !original) {
        ADD_FAILURE() << "the bitmap cannot be selected into a memory device context";
        return pixels;
    }
    pixels.width = info.bmWidth;
    pixels.height = info.bmHeight;
    for (int y = 0; y < info.bmHeight; ++y)
        for (int x = 0; x < info.bmWidth; ++x) pixels.colours.push_back(GetPixel(dc, x, y));
    SelectObject(dc, original);
    DeleteDC(dc);
    return pixels;
}

// A fresh folder as the working directory, GDI+ started, and files written
// there by the tests; image paths are relative, as the game's are.
class ImageFolder {
  protected:
    void openFolder() {
        previous_ = std::filesystem::current_path();
        folder_.emplace("varnholt-images");
        std::filesystem::current_path(folder_->path);
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
        started_ = true;
    }

    void closeFolder() {
        if (started_) Gdiplus::GdiplusShutdown(token_);
        started_ = false;
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        folder_.reset();
    }

    // Writes the file (a relative path, '/' between folders) and answers its
    // name as the game would give it: a wide string with backslashes.
    static std::wstring write(const std::string& name, const Bytes& bytes) {
        std::filesystem::path path(name);
        if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
        EXPECT_TRUE(fixture::writeFile(name, bytes)) << name;
        return gamePath(name);
    }
    static std::wstring gamePath(const std::string& name) {
        std::wstring wide;
        for (char c : name) wide += wchar_t(c == '/' ? '\\' : c);
        return wide;
    }

    static Gdiplus::GpStatus decode(const std::wstring& path, Gdiplus::GpBitmap** image) {
        return Gdiplus::DllExports::GdipCreateBitmapFromFile(path.c_str(), image);
    }
    // How decoding the file ends, the image given back at once.
    static Gdiplus::GpStatus loadStatus(const std::wstring& path) {
        Gdiplus::GpBitmap* image = nullptr;
        const Gdiplus::GpStatus status = decode(path, &image);
        if (image) Gdiplus::DllExports::GdipDisposeImage(image);
        return status;
    }

    // The file through GDI+ into a GDI bitmap over the background, as the game
    // loads its art; null when it does not load.
    static HBITMAP loadBitmap(const std::wstring& path, Gdiplus::ARGB background = 0xFFFF00FF) {
        Gdiplus::GpBitmap* image = nullptr;
        if (decode(path, &image) != Gdiplus::Ok || !image) return nullptr;
        HBITMAP bitmap = nullptr;
        Gdiplus::GpStatus made =
            Gdiplus::DllExports::GdipCreateHBITMAPFromBitmap(image, &bitmap, background);
        EXPECT_EQ(Gdiplus::DllExports::GdipDisposeImage(image), Gdiplus::Ok);
        EXPECT_EQ(made, Gdiplus::Ok) << "no bitmap from a decoded image";
        return made == Gdiplus::Ok ? bitmap : nullptr;
    }

    // The file written, loaded and read back pixel by pixel, when it loads at
    // this size; otherwise a failure, and a picture of that size with no
    // colour in it.
    static Pixels loadSized(const std::string& name, const Bytes& bytes, int width, int height,
                            Gdiplus::ARGB background = 0xFFFF00FF) {
        Pixels picture;
        if (HBITMAP bitmap = loadBitmap(write(name, bytes), background)) {
            picture = readBitmap(bitmap);
            EXPECT_TRUE(DeleteObject(bitmap));
        }
        if (picture.width == width && picture.height == height) return picture;
        ADD_FAILURE() << name << " loads as " << picture.width << " x " << picture.height
                      << ", not " << width << " x " << height;
        return {width, height, std::vector<COLORREF>(size_t(width * height), CLR_INVALID)};
    }

    // A bitmap of width x height whose pixel (x, y) is RGB(x * 16, y * 16, 99).
    static HBITMAP gradient(int width, int height) {
        return loadBitmap(write("gradient.png", fixture::gradientPng(width, height)), 0xFF000000);
    }
    static COLORREF gradientAt(int x, int y) { return RGB(x * 16, y * 16, 99); }

    std::filesystem::path previous_;
    std::optional<TempFolder> folder_;
    ULONG_PTR token_ = 0;
    bool started_ = false;
};

class ImageTest : public testing::Test, protected ImageFolder {
  protected:
    void SetUp() override { openFolder(); }
    void TearDown() override { closeFolder(); }
};

}  // namespace fixture
