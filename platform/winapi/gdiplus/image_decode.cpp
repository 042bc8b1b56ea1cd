// Image files as GDI+ would open them: PNG decoded by SDL_image and GIF by
// giflib (image_gif.cpp), told apart by their signatures, and a size check
// made from the files' own headers before any pixel memory is asked for, so
// that a hostile or broken file can cost neither a crash nor gigabytes.
#include <SDL_image.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "image_decode.h"
#include "windows_path.h"

namespace vh::platform::image {
namespace {

// A file is read whole before it is decoded. One larger than the pixels of
// the largest picture the decoder accepts is refused by its size, before a
// byte of it is read: compressed art is far smaller than its pixels, and a
// huge file at an art path must not cost its size in memory.
constexpr int64_t kMaxFileBytes = kMaxImageBytes;

uint32_t bigEndian32(const Uint8* at) {
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3];
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

// Whether every chunk fits in the file, up to the IEND that closes it.
// SDL_image does not tell libpng when the file runs out, so a chunk that
// claims more bytes than the file holds has libpng read and checksum
// megabytes of nothing before it fails.
bool pngChunksFitTheFile(const std::vector<Uint8>& data) {
    size_t at = 8;
    while (data.size() - at >= 12) {
        const size_t length = bigEndian32(&data[at]);
        if (length > data.size() - at - 12) return false;
        if (std::string(&data[at + 4], &data[at + 8]) == "IEND") return true;
        at += 12 + length;
    }
    return false;
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
    if (auto size = checkImageSize(width, height); size != DecodeError::None) return size;
    return pngChunksFitTheFile(data) ? DecodeError::None : DecodeError::Malformed;
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

// The PNG header's size is checked before SDL_image sees the file; should
// the decoder still ask for more, SDL refuses any one allocation larger than
// the pixels of the largest image accepted (`limit`) while a file is decoded.
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

SDL_Surface* decodePng(const std::vector<Uint8>& data, DecodeError& error) {
    if ((error = checkPngHeader(data)) != DecodeError::None) return nullptr;
    SDL_Surface* decoded = nullptr;
    {
        // The slack is for the surface's alignment.
        AllocationLimit limit(size_t(kMaxImageBytes) + (size_t(1) << 20));
        SDL_RWops* stream = SDL_RWFromConstMem(data.data(), int(data.size()));
        decoded = stream ? IMG_LoadTyped_RW(stream, 1, "PNG") : nullptr;
    }
    if (!decoded) {
        error = DecodeError::Malformed;
        return nullptr;
    }
    if (checkImageSize(decoded->w, decoded->h) != DecodeError::None) {
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

}  // namespace

DecodeError checkImageSize(int64_t width, int64_t height) {
    if (width > kMaxImageSide || height > kMaxImageSide || width * height * 4 > kMaxImageBytes)
        return DecodeError::TooLarge;
    return DecodeError::None;
}

SDL_Surface* decode(const std::string& windowsPath, DecodeError& error) {
    std::string path = resolveWindowsPath(windowsPath);
    std::vector<Uint8> data;
    error = readFile(path, data);
    if (error != DecodeError::None) return nullptr;

    // As GDI+ does, the file's first bytes say what it is; its name does not.
    if (hasPngSignature(data)) return decodePng(data, error);
    if (hasGifSignature(data)) return decodeGif(data, error);
    error = DecodeError::Malformed;
    return nullptr;
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
