// Fuzz target: arbitrary bytes as an art file, loaded the way the game loads
// its pictures (GdiBitmap::loadFromFile, then a sprite filled through
// GdiBitmap::copyToSurface) on the headless display.
//
// Besides crashes and sanitizer reports it stops on: a platform object left
// alive after the bitmap and the sprite are gone, a loaded bitmap whose size
// disagrees with the decoder, and a sprite whose pixels differ from the
// picture's.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/application.h"
#include "display/gdi_bitmap.h"
#include "display/sprite.h"
#include "image_bytes.h"
#include "varnholt/platform_test.h"

namespace {

// The sprite sizes the game makes: markers, tab buttons, lots, the sidebar.
struct Size {
    int32_t width, height;
};
constexpr Size kSpriteSizes[] = {{16, 16}, {64, 64}, {128, 128}, {256, 304}};
constexpr int64_t kLargestCheckedPicture = 1 << 20;

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "load_image_fuzzer: %s\n", what);
    std::abort();
}

void startDisplay() {
    vh::test::useHeadlessHost();
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        finding("GDI+ did not start");
    Application& app = Application::instance();
    app.title = "Varnholt";
    app.moduleInstance = reinterpret_cast<HINSTANCE>(0x400000);
    app.createWindow();
    if (app.initDisplay() != result::kOk) finding("no headless display");
}

// A private working folder, so that parallel fuzzing jobs do not share files.
void moveToScratchFolder() {
    char pattern[] = "/tmp/varnholt-fuzz-XXXXXX";
    if (!mkdtemp(pattern) || chdir(pattern) != 0) finding("no scratch folder");
}

// The decoder picks its reader from the name and insists that the bytes
// agree, so a file gets the name its signature asks for.
const char* nameFor(const uint8_t* data, size_t size) {
    return (size >= 3 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F') ? "art.gif"
                                                                             : "art.png";
}

// The sprite's top-left block must hold the picture as the decoder sees it.
void checkSpritePixels(IDirectDrawSurface* surface, const char* name, const GdiBitmap& bitmap) {
    vh::test::Picture expected = vh::test::decodeImageFile(name);
    if (expected.width != bitmap.width || expected.height != bitmap.height)
        finding("the bitmap's size differs from the decoded picture's");
    vh::test::Picture sprite = vh::test::surfacePixels(surface);
    for (int y = 0; y < std::min(sprite.height, expected.height); ++y)
        for (int x = 0; x < std::min(sprite.width, expected.width); ++x)
            if (sprite.at(x, y) != expected.at(x, y))
                finding("a sprite pixel differs from the art");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    startDisplay();
    moveToScratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* name = nameFor(data, size);
    if (!fixture::writeFile(name, fixture::Bytes(data, data + size)))
        finding("cannot write the input file");
    const int liveBefore = vh::test::liveObjectCount();
    {
        GdiBitmap bitmap;
        ResultCode loaded = bitmap.loadFromFile(name);
        if (loaded == result::kOk && (bitmap.width <= 0 || bitmap.height <= 0))
            finding("a loaded bitmap without pixels");
        const Size size = kSpriteSizes[(size_t(bitmap.width) + size_t(bitmap.height)) % 4];
        Sprite sprite(1, size.width, size.height);
        IDirectDrawSurface* surface = sprite.frames[0][0];
        if (!surface) finding("no sprite surface");
        ResultCode filled = sprite.fill(bitmap, 0, 0, 0, 0);
        if (loaded == result::kOk) {
            if (filled != result::kOk) finding("a loaded bitmap could not fill its sprite");
            // Decoding a big picture again would cost more than the run itself.
            if (int64_t(bitmap.width) * bitmap.height <= kLargestCheckedPicture)
                checkSpritePixels(surface, name, bitmap);
        } else if (filled == result::kOk) {
            finding("a sprite filled from a bitmap that failed to load");
        }
    }
    if (vh::test::liveObjectCount() != liveBefore) finding("platform objects outlived the load");
    // The journal is for tests; a long run must not keep it.
    vh::test::clearJournal();
    return 0;
}
