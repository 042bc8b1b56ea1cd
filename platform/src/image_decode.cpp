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

// A GIF declares a logical screen and then one descriptor per frame; the
// decoder allocates by the frame's own size, so every one is checked.
DecodeError checkGifHeader(const std::vector<Uint8>& data) {
    if (data.size() < 13) return DecodeError::Malformed;
    if (auto screen = checkSize(littleEndian16(&data[6]), littleEndian16(&data[8]));
        screen != DecodeError::None)
        return screen;
    size_t at = 13;
    if (data[10] & 0x80) at += size_t(3) << ((data[10] & 7) + 1);
    while (at < data.size()) {
        Uint8 introducer = data[at++];
        if (introducer == 0x21) {  // extension: label, then sub-blocks
            ++at;
            if (!skipSubBlocks(data, at)) break;
        } else if (introducer == 0x2C) {  // image descriptor
            if (at + 9 > data.size()) break;
            unsigned width = littleEndian16(&data[at + 4]);
            unsigned height = littleEndian16(&data[at + 6]);
            if (width == 0 || height == 0) return DecodeError::Malformed;
            if (auto frame = checkSize(width, height); frame != DecodeError::None) return frame;
            Uint8 packed = data[at + 8];
            at += 9;
            if (packed & 0x80) at += size_t(3) << ((packed & 7) + 1);
            ++at;  // LZW minimum code size
            if (!skipSubBlocks(data, at)) break;
        } else {
            break;  // the trailer, or damage that the decoder will report
        }
    }
    return DecodeError::None;
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
        error = checkGifHeader(data);
    } else {
        error = DecodeError::Malformed;
    }
    if (error != DecodeError::None) return nullptr;

    SDL_RWops* stream = SDL_RWFromConstMem(data.data(), int(data.size()));
    SDL_Surface* decoded = stream ? IMG_LoadTyped_RW(stream, 1, type) : nullptr;
    if (!decoded) {
        error = DecodeError::Malformed;
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
