// PNG and GIF files written byte by byte, so that tests can cover every
// colour type, depth, transparency and kind of damage the game's art may show;
// and whole files written and read.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fixture {

using Bytes = std::vector<uint8_t>;

// Writes `bytes` as the whole file at `path`; false when it could not.
inline bool writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

// The whole file at `path`, as bytes or as text; empty when it cannot be read.
template <typename Contents = Bytes>
Contents readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Contents(std::istreambuf_iterator<char>(in), {});
}

// The lines of `text`, without their ends.
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The CRC-32 that closes every PNG chunk (over its type and body).
inline uint32_t crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline void put32(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

inline void chunk(Bytes& png, const char* type, const Bytes& body) {
    put32(png, uint32_t(body.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), body.begin(), body.end());
    put32(png, crc32(&png[start], png.size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks.
inline Bytes storedZlib(const Bytes& data) {
    Bytes out{0x78, 0x01};
    size_t at = 0;
    do {
        size_t length = std::min<size_t>(65535, data.size() - at);
        out.push_back(at + length == data.size() ? 1 : 0);
        out.push_back(uint8_t(length));
        out.push_back(uint8_t(length >> 8));
        out.push_back(uint8_t(~length));
        out.push_back(uint8_t(~length >> 8));
        out.insert(out.end(), data.begin() + at, data.begin() + at + length);
        at += length;
    } while (at < data.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put32(out, b << 16 | a);
    return out;
}

struct PngRecipe {
    int width = 4;
    int height = 2;
    int bitDepth = 8;
    int colorType = 6;  // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    bool interlaced = false;
    Bytes palette = {};  // PLTE body
    Bytes alphas = {};   // tRNS body
    std::function<Bytes(int x, int y)> pixel = {};
};

// Rows of one image (or one interlace pass) with filter type 0. Below 8 bits
// a pixel, its one sample is packed with the next ones, the first in a
// byte's highest bits.
inline void appendRows(Bytes& raw, const PngRecipe& recipe, int x0, int y0, int dx, int dy) {
    if (x0 >= recipe.width || y0 >= recipe.height) return;
    const int depth = recipe.bitDepth;
    for (int y = y0; y < recipe.height; y += dy) {
        raw.push_back(0);
        int bits = 0;
        for (int x = x0; x < recipe.width; x += dx, bits += depth) {
            Bytes pixel = recipe.pixel(x, y);
            if (depth >= 8) {
                raw.insert(raw.end(), pixel.begin(), pixel.end());
                continue;
            }
            if (bits % 8 == 0) raw.push_back(0);
            raw.back() |= uint8_t(pixel[0] << (8 - depth - bits % 8));
        }
    }
}

inline Bytes makePng(const PngRecipe& recipe) {
    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    put32(header, uint32_t(recipe.width));
    put32(header, uint32_t(recipe.height));
    header.insert(header.end(), {uint8_t(recipe.bitDepth), uint8_t(recipe.colorType), 0, 0,
                                 uint8_t(recipe.interlaced ? 1 : 0)});
    chunk(png, "IHDR", header);
    if (!recipe.palette.empty()) chunk(png, "PLTE", recipe.palette);
    if (!recipe.alphas.empty()) chunk(png, "tRNS", recipe.alphas);
    Bytes raw;
    if (recipe.interlaced) {
        const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                  {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
        for (const auto& p : passes) appendRows(raw, recipe, p[0], p[1], p[2], p[3]);
    } else {
        appendRows(raw, recipe, 0, 0, 1, 1);
    }
    chunk(png, "IDAT", storedZlib(raw));
    chunk(png, "IEND", {});
    return png;
}

// A PNG of width x height whose pixel (x, y) is (x * 16, y * 16, 99), opaque.
inline Bytes gradientPng(int width, int height) {
    return makePng({.width = width, .height = height, .pixel = [](int x, int y) -> Bytes {
                        return {uint8_t(x * 16), uint8_t(y * 16), 99, 255};
                    }});
}

// A 4 x 2 PNG of one opaque colour.
inline Bytes plainPng() {
    return makePng({.pixel = [](int, int) -> Bytes { return {1, 2, 3, 255}; }});
}

// The PNG with its header declaring another size, its CRC fixed: a sound
// file, but for a picture far too large, say.
inline Bytes withDeclaredSize(Bytes png, uint32_t width, uint32_t height) {
    for (int b = 0; b < 4; ++b) {
        png[size_t(16 + b)] = uint8_t(width >> (24 - 8 * b));
        png[size_t(20 + b)] = uint8_t(height >> (24 - 8 * b));
    }
    const uint32_t crc = crc32(&png[12], 17);
    for (int b = 0; b < 4; ++b) png[size_t(29 + b)] = uint8_t(crc >> (24 - 8 * b));
    return png;
}

// A GIF whose LZW codes are all 8 bits wide: minimum code size 7 and a clear
// code often enough that the code table never grows. Colour maps hold 4
// entries; an empty one is left out of the file. `moreFrames` follow the
// first one, each at the same place, opaque and without a colour map.
struct GifRecipe {
    int screenWidth = 4, screenHeight = 4;
    int left = 0, top = 0, width = 4, height = 4;
    Bytes globalColours = {}, localColours = {};
    int transparentIndex = -1;
    bool interlaced = false;
    std::function<uint8_t(int x, int y)> index = {};
    std::vector<std::function<uint8_t(int x, int y)>> moreFrames = {};
};

// The frame's rows in the order an interlaced file stores them.
inline std::vector<int> interlacedRows(int height) {
    std::vector<int> rows;
    for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (int y = start; y < height; y += step) rows.push_back(y);
    return rows;
}

inline Bytes makeGif(const GifRecipe& recipe) {
    Bytes gif{'G', 'I', 'F', '8', '9', 'a'};
    auto put16 = [&](int value) {
        gif.push_back(uint8_t(value));
        gif.push_back(uint8_t(value >> 8));
    };
    put16(recipe.screenWidth);
    put16(recipe.screenHeight);
    gif.insert(gif.end(), {uint8_t(recipe.globalColours.empty() ? 0 : 0x81), 0, 0});
    gif.insert(gif.end(), recipe.globalColours.begin(), recipe.globalColours.end());
    auto frame = [&](const std::function<uint8_t(int, int)>& index, int transparent,
                     const Bytes& localColours) {
        gif.insert(gif.end(), {0x21, 0xF9, 4, uint8_t(transparent >= 0 ? 1 : 0), 0, 0,
                               uint8_t(transparent >= 0 ? transparent : 0), 0});
        gif.push_back(0x2C);
        for (int value : {recipe.left, recipe.top, recipe.width, recipe.height}) put16(value);
        gif.push_back(uint8_t((localColours.empty() ? 0 : 0x81) | (recipe.interlaced ? 0x40 : 0)));
        gif.insert(gif.end(), localColours.begin(), localColours.end());
        gif.push_back(7);
        std::vector<int> rows = interlacedRows(recipe.height);
        if (!recipe.interlaced)
            for (int y = 0; y < recipe.height; ++y) rows[size_t(y)] = y;
        Bytes codes{128};
        int sinceClear = 0;
        for (int y : rows)
            for (int x = 0; x < recipe.width; ++x) {
                if (++sinceClear == 100) {
                    codes.push_back(128);
                    sinceClear = 1;
                }
                codes.push_back(index(x, y));
            }
        codes.push_back(129);
        for (size_t at = 0; at < codes.size(); at += 255) {
            size_t length = std::min<size_t>(255, codes.size() - at);
            gif.push_back(uint8_t(length));
            gif.insert(gif.end(), codes.begin() + at, codes.begin() + at + length);
        }
        gif.push_back(0);
    };
    frame(recipe.index, recipe.transparentIndex, recipe.localColours);
    for (const auto& later : recipe.moreFrames) frame(later, -1, {});
    gif.push_back(0x3B);
    return gif;
}

inline Bytes makeGif(int width, int height, const Bytes& palette4, int transparentIndex,
                     const std::function<uint8_t(int x, int y)>& index, bool interlaced = false) {
    GifRecipe recipe;
    recipe.screenWidth = recipe.width = width;
    recipe.screenHeight = recipe.height = height;
    recipe.globalColours = palette4;
    recipe.transparentIndex = transparentIndex;
    recipe.index = index;
    recipe.interlaced = interlaced;
    return makeGif(recipe);
}

}  // namespace fixture
