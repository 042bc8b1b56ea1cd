// Image files as GDI+ would open them: Windows paths resolved on a Linux file
// system, PNG and GIF decoded by SDL_image, and a size check made from the
// files' own headers before any pixel memory is asked for, so that a hostile
// or broken file can cost neither a crash nor gigabytes.
#include <SDL_image.h>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

#include "gdi_internal.h"

namespace vh::platform::image {
namespace {

constexpr long kMaxFileBytes = 256L << 20;
constexpr Uint8 kMinLzwCodeSize = 2;
constexpr Uint8 kMaxLzwCodeSize = 12;

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// Windows file names ignore case: look for an entry that differs only in it.
std::string findIgnoringCase(const std::string& folder, const std::string& name) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.empty() ? "." : folder.c_str()),
                                            closedir);
    if (!dir) return name;
    while (dirent* entry = readdir(dir.get())) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) return entry->d_name;
    }
    return name;
}

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '/') {
            if (!part.empty() && part != ".") parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty() && part != ".") parts.push_back(part);
    return parts;
}

std::string lowerExtension(const std::string& path) {
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string extension = path.substr(dot);
    for (char& c : extension) c = char(tolower(static_cast<unsigned char>(c)));
    return extension;
}

uint32_t bigEndian32(const Uint8* at) {
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3];
}

unsigned littleEndian16(const Uint8* at) {
    return unsigned(at[0]) | unsigned(at[1]) << 8;
}

DecodeError checkSize(int64_t width, int64_t height) {
    if (width > kMaxImageSide || height > kMaxImageSide || width * height * 4 > kMaxImageBytes)
        return DecodeError::TooLarge;
    return DecodeError::None;
}

bool hasPngSignature(const std::vector<Uint8>& data) {
    static const Uint8 signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return data.size() >= 8 && std::equal(signature, signature + 8, data.begin());
}

bool hasGifSignature(const std::vector<Uint8>& data) {
    if (data.size() < 6) return false;
    std::string magic(data.begin(), data.begin() + 6);
    return magic == "GIF87a" || magic == "GIF89a";
}

// The first chunk of a PNG is its IHDR: width and height come first in it.
DecodeError checkPngHeader(const std::vector<Uint8>& data) {
    if (data.size() < 33) return DecodeError::Malformed;
    const Uint8* chunk = data.data() + 8;
    if (bigEndian32(chunk) != 13 || std::string(chunk + 4, chunk + 8) != "IHDR")
        return DecodeError::Malformed;
    int64_t width = bigEndian32(chunk + 8);
    int64_t height = bigEndian32(chunk + 12);
    if (width == 0 || height == 0) return DecodeError::Malformed;
    return checkSize(width, height);
}

// Skips a run of GIF data sub-blocks; false when the file ends inside it.
bool skipSubBlocks(const std::vector<Uint8>& data, size_t& at) {
    while (at < data.size()) {
        Uint8 length = data[at++];
        if (length == 0) return true;
        at += length;
    }
    return false;
}

// Reads a frame's LZW codes (its sub-blocks from `at`) and says whether the
// decoder can take them: after every clear code a literal comes first, and no
// code names a table entry that does not exist yet. The decoder crashes on a
// stream that breaks the first rule. A stream that ends early is left to the
// decoder, which keeps the pixels it got.
bool lzwStreamIsSound(const std::vector<Uint8>& data, size_t at, unsigned codeSize) {
    constexpr unsigned kTableSize = 4096;
    const unsigned clear = 1u << codeSize, end = clear + 1;
    unsigned width = codeSize + 1, next = clear + 2;
    bool afterClear = true;
    uint32_t bits = 0;
    unsigned bitCount = 0;
    size_t blockLeft = 0;
    for (;;) {
        while (bitCount < width) {
            if (blockLeft == 0) {
                if (at >= data.size() || data[at] == 0) return true;
                blockLeft = data[at++];
            }
            if (at >= data.size()) return true;
            bits |= uint32_t(data[at++]) << bitCount;
            bitCount += 8;
            --blockLeft;
        }
        const unsigned code = bits & ((1u << width) - 1);
        bits >>= width;
        bitCount -= width;
        if (code == clear) {
            width = codeSize + 1;
            next = clear + 2;
            afterClear = true;
        } else if (code == end) {
            return true;
        } else if (afterClear) {
            if (code >= clear) return false;
            afterClear = false;
        } else {
            if (code > next) return false;
            if (next < kTableSize) ++next;
            if (next == (1u << width) && width < kMaxLzwCodeSize) ++width;
        }
    }
}

// A GIF declares a logical screen and then its frames. The game shows a
// file's first picture only, so the decoder is handed `single`: the file cut
// down to its first frame (with the graphic control extension before it, for
// transparency) and a trailer. Whatever follows that frame, damage included,
// never reaches the decoder, whose reader crashes on some of it. The frame's
// size and its LZW stream are checked first.
DecodeError firstGifFrame(const std::vector<Uint8>& data, std::vector<Uint8>& single) {
    if (data.size() < 13) return DecodeError::Malformed;
    if (auto screen = checkSize(littleEndian16(&data[6]), littleEndian16(&data[8]));
        screen != DecodeError::None)
        return screen;
    size_t tableEnd = 13;
    if (data[10] & 0x80) tableEnd += size_t(3) << ((data[10] & 7) + 1);
    if (tableEnd > data.size()) return DecodeError::Malformed;
    size_t controlStart = 0, controlEnd = 0;
    size_t at = tableEnd;
    while (at < data.size()) {
        const size_t start = at;
        Uint8 introducer = data[at++];
        if (introducer == 0x21) {  // extension: label, then sub-blocks
            if (at >= data.size()) break;
            Uint8 label = data[at++];
            if (!skipSubBlocks(data, at)) break;
            if (label == 0xF9) controlStart = start, controlEnd = at;
        } else if (introducer == 0x2C) {  // image descriptor
            if (at + 9 > data.size()) break;
            unsigned width = littleEndian16(&data[at + 4]);
            unsigned height = littleEndian16(&data[at + 6]);
            if (width == 0 || height == 0) return DecodeError::Malformed;
            if (auto frame = checkSize(width, height); frame != DecodeError::None) return frame;
            Uint8 packed = data[at + 8];
            at += 9;
            if (packed & 0x80) at += size_t(3) << ((packed & 7) + 1);
            if (at >= data.size()) break;
            // The LZW minimum code size: 2 to 8 in a sound file. The decoder's
            // LZW reader crashes on 0 and 1; above 12 it gives the frame up and
            // reads on from the next byte, as the walk does.
            Uint8 codeSize = data[at++];
            if (codeSize < kMinLzwCodeSize) return DecodeError::Malformed;
            if (codeSize > kMaxLzwCodeSize) continue;
            if (!lzwStreamIsSound(data, at, codeSize)) return DecodeError::Malformed;
            const bool whole = skipSubBlocks(data, at);
            single.assign(data.begin(), data.begin() + std::ptrdiff_t(tableEnd));
            single.insert(single.end(), data.begin() + std::ptrdiff_t(controlStart),
                          data.begin() + std::ptrdiff_t(controlEnd));
            single.insert(single.end(), data.begin() + std::ptrdiff_t(start),
                          data.begin() + std::ptrdiff_t(std::min(at, data.size())));
            if (!whole) single.push_back(0);  // the frame's data ends early
            single.push_back(0x3B);
            return DecodeError::None;
        } else if (introducer == 0x3B) {
            break;  // the trailer
        }
        // The decoder steps over any other byte and takes the next descriptor
        // it finds, so the walk steps over it too.
    }
    return DecodeError::Malformed;  // no frame to show
}

DecodeError readFile(const std::string& path, std::vector<Uint8>& data) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return DecodeError::NotFound;
    if (info.st_size > kMaxFileBytes) return DecodeError::TooLarge;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return DecodeError::NotFound;
    data.resize(size_t(info.st_size));
    if (!data.empty() && std::fread(data.data(), 1, data.size(), file.get()) != data.size())
        return DecodeError::Malformed;
    return DecodeError::None;
}

// SDL_image's GIF reader steps over damage in its own ways and may decode a
// frame that the header walk never reached. While a file is decoded, SDL
// therefore refuses any one allocation larger than the pixels of the largest
// image accepted (`limit`), whatever frame the reader settles on.
class AllocationLimit {
  public:
    explicit AllocationLimit(size_t limit) {
        SDL_GetMemoryFunctions(&malloc_, &calloc_, &realloc_, &free_);
        limit_ = limit;
        SDL_SetMemoryFunctions(limitedMalloc, limitedCalloc, limitedRealloc, free_);
    }
    ~AllocationLimit() { SDL_SetMemoryFunctions(malloc_, calloc_, realloc_, free_); }
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;

  private:
    static void* limitedMalloc(size_t size) { return size > limit_ ? nullptr : malloc_(size); }
    static void* limitedCalloc(size_t count, size_t size) {
        if (size && count > limit_ / size) return nullptr;
        return calloc_(count, size);
    }
    static void* limitedRealloc(void* memory, size_t size) {
        return size > limit_ ? nullptr : realloc_(memory, size);
    }

    static inline SDL_malloc_func malloc_ = nullptr;
    static inline SDL_calloc_func calloc_ = nullptr;
    static inline SDL_realloc_func realloc_ = nullptr;
    static inline SDL_free_func free_ = nullptr;
    static inline size_t limit_ = 0;
};

}  // namespace

SDL_Surface* decode(const std::string& windowsPath, DecodeError& error) {
    std::string path = vh::platform::resolveWindowsPath(windowsPath);
    std::vector<Uint8> data;
    error = readFile(path, data);
    if (error != DecodeError::None) return nullptr;

    // The name says which decoder reads the file, and the bytes must agree.
    std::string extension = lowerExtension(path);
    const char* type = nullptr;
    if (extension == ".png" && hasPngSignature(data)) {
        type = "PNG";
        error = checkPngHeader(data);
    } else if (extension == ".gif" && hasGifSignature(data)) {
        type = "GIF";
        std::vector<Uint8> single;
        error = firstGifFrame(data, single);
        data.swap(single);
    } else {
        error = DecodeError::Malformed;
    }
    if (error != DecodeError::None) return nullptr;

    SDL_Surface* decoded = nullptr;
    {
        // GIF frames decode to one byte a pixel, PNG images to four; the
        // slack is for the surface's alignment.
        constexpr size_t kSlack = size_t(1) << 20;
        AllocationLimit limit(size_t(type[0] == 'G' ? kMaxImageBytes / 4 : kMaxImageBytes) +
                              kSlack);
        SDL_RWops* stream = SDL_RWFromConstMem(data.data(), int(data.size()));
        decoded = stream ? IMG_LoadTyped_RW(stream, 1, type) : nullptr;
    }
    if (!decoded) {
        error = DecodeError::Malformed;
        return nullptr;
    }
    if (checkSize(decoded->w, decoded->h) != DecodeError::None) {
        SDL_FreeSurface(decoded);
        error = DecodeError::TooLarge;
        return nullptr;
    }
    // Palette images with a transparent index or a colour key come out with
    // those pixels at alpha 0.
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(decoded);
    if (!argb) error = DecodeError::OutOfMemory;
    return argb;
}

SDL_Surface* composeOverBackground(SDL_Surface* argbImage, uint32_t background) {
    SDL_Surface* out =
        SDL_CreateRGBSurfaceWithFormat(0, argbImage->w, argbImage->h, 32, SDL_PIXELFORMAT_RGB888);
    if (!out) return nullptr;
    SDL_FillRect(out, nullptr,
                 SDL_MapRGB(out->format, Uint8(background >> 16), Uint8(background >> 8),
                            Uint8(background)));
    SDL_SetSurfaceBlendMode(argbImage, SDL_BLENDMODE_BLEND);
    if (SDL_BlitSurface(argbImage, nullptr, out, nullptr) != 0) {
        SDL_FreeSurface(out);
        return nullptr;
    }
    return out;
}

}  // namespace vh::platform::image

namespace vh::platform {

std::string resolveWindowsPath(const std::string& windowsPath) {
    std::string path = windowsPath;
    for (char& c : path)
        if (c == '\\') c = '/';
    std::string resolved = (!path.empty() && path[0] == '/') ? "/" : "";
    // A leading ".\" (and any "." folder) is the working directory itself.
    for (const std::string& part : image::splitPath(path)) {
        std::string candidate = image::joinPath(resolved, part);
        if (part != ".." && !image::exists(candidate))
            candidate = image::joinPath(resolved, image::findIgnoringCase(resolved, part));
        resolved = candidate;
    }
    return resolved.empty() ? "." : resolved;
}

SDL_Surface* decodeImage(const std::string& windowsPath) {
    image::DecodeError error;
    return image::decode(windowsPath, error);
}

}  // namespace vh::platform
