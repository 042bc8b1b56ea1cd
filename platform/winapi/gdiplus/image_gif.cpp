// GIF files read with giflib one record at a time: the game shows a file's
// first picture only, so reading stops after the first frame and nothing
// that follows it, damage included, is ever looked at. The logical screen and
// the frame are both checked against the size limits before a pixel is
// allocated or decoded.
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "image_decode.h"

namespace vh::platform::image {
namespace {

// The file's bytes as giflib reads them: in order, and short at the end.
struct MemorySource {
    const Uint8* bytes;
    size_t size;
    size_t at;
};

int readFromMemory(GifFileType* gif, GifByteType* into, int wanted) {
    auto* source = static_cast<MemorySource*>(gif->UserData);
    const size_t count = std::min(size_t(std::max(wanted, 0)), source->size - source->at);
    if (count) std::memcpy(into, source->bytes + source->at, count);
    source->at += count;
    return int(count);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

struct SurfaceFreer {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfaceHandle = std::unique_ptr<SDL_Surface, SurfaceFreer>;

// Reads the records up to the first image descriptor, remembering the
// transparent index of the last graphic control extension before it.
// False when the file ends, or breaks, before any frame.
bool readUpToFirstFrame(GifFileType* gif, int& transparentIndex) {
    transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR) return false;
        if (record == IMAGE_DESC_RECORD_TYPE) return DGifGetImageDesc(gif) != GIF_ERROR;
        if (record != EXTENSION_RECORD_TYPE) return false;  // the trailer, or worse
        int label = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &label, &block) == GIF_ERROR) return false;
        if (label == GRAPHICS_EXT_FUNC_CODE && block) {
            GraphicsControlBlock control;
            // block[0] is the sub-block's length; a control block of another
            // length is ignored rather than trusted.
            if (DGifExtensionToGCB(block[0], block + 1, &control) != GIF_ERROR)
                transparentIndex = control.TransparentColor;
        }
        while (block)
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
}

// Every possible pixel value as ARGB: the colour map's entries opaque, the
// values past its end black, and the transparent index clear.
std::array<Uint32, 256> argbColours(const ColorMapObject& map, int transparentIndex) {
    std::array<Uint32, 256> colours;
    colours.fill(0xFF000000u);
    const int count = std::clamp(map.ColorCount, 0, 256);
    for (int i = 0; i < count; ++i) {
        const GifColorType& c = map.Colors[i];
        colours[size_t(i)] = 0xFF000000u | Uint32(c.Red) << 16 | Uint32(c.Green) << 8 | c.Blue;
    }
    if (transparentIndex >= 0 && transparentIndex < 256) colours[size_t(transparentIndex)] = 0;
    return colours;
}

// The frame's rows in the order the file stores them: top to bottom, or the
// four passes of an interlaced frame.
std::vector<int> rowOrder(int height, bool interlaced) {
    std::vector<int> rows;
    rows.reserve(size_t(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y) rows.push_back(y);
        return rows;
    }
    static constexpr int kPassStart[4] = {0, 4, 2, 1};
    static constexpr int kPassStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = kPassStart[pass]; y < height; y += kPassStep[pass]) rows.push_back(y);
    return rows;
}

// Decodes the frame's rows onto the screen-sized canvas. The frame may reach
// past the screen's edges: what lies outside is read and dropped.
bool drawFrame(GifFileType* gif, const std::array<Uint32, 256>& colours, SDL_Surface* canvas) {
    const GifImageDesc& frame = gif->Image;
    const int firstColumn = std::min(frame.Left, canvas->w);
    const int lastColumn = std::min(frame.Left + frame.Width, canvas->w);
    std::vector<GifPixelType> line(size_t(frame.Width));
    for (int y : rowOrder(frame.Height, frame.Interlace)) {
        if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR) return false;
        const int canvasY = frame.Top + y;
        if (canvasY >= canvas->h) continue;
        auto* out = reinterpret_cast<Uint32*>(static_cast<Uint8*>(canvas->pixels) +
                                              ptrdiff_t(canvasY) * canvas->pitch);
        for (int x = firstColumn; x < lastColumn; ++x)
            out[x] = colours[line[size_t(x - frame.Left)]];
    }
    return true;
}

}  // namespace

SDL_Surface* decodeGif(const std::vector<Uint8>& data, DecodeError& error) {
    error = DecodeError::Malformed;
    MemorySource source{data.data(), data.size(), 0};
    int openError = 0;
    GifHandle gif(DGifOpen(&source, readFromMemory, &openError));
    if (!gif) return nullptr;
    if (gif->SWidth <= 0 || gif->SHeight <= 0) return nullptr;
    if ((error = checkImageSize(gif->SWidth, gif->SHeight)) != DecodeError::None) return nullptr;

    error = DecodeError::Malformed;
    int transparentIndex = NO_TRANSPARENT_COLOR;
    if (!readUpToFirstFrame(gif.get(), transparentIndex)) return nullptr;
    const GifImageDesc& frame = gif->Image;
    if (frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0) return nullptr;
    if ((error = checkImageSize(frame.Width, frame.Height)) != DecodeError::None) return nullptr;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    error = DecodeError::Malformed;
    if (!map) return nullptr;

    // A new surface is cleared: whatever the frame does not cover stays
    // transparent.
    SurfaceHandle canvas(
        SDL_CreateRGBSurfaceWithFormat(0, gif->SWidth, gif->SHeight, 32, SDL_PIXELFORMAT_ARGB8888));
    if (!canvas) {
        error = DecodeError::OutOfMemory;
        return nullptr;
    }
    if (!drawFrame(gif.get(), argbColours(*map, transparentIndex), canvas.get())) return nullptr;
    error = DecodeError::None;
    return canvas.release();
}

}  // namespace vh::platform::image
