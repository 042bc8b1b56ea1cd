// The image decoder that GDI+ stands on: PNG and GIF files read into 32-bit
// ARGB SDL surfaces, with sizes checked from the files' own headers before any
// pixel memory is asked for.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "varnholt/pixel_memory.h"

namespace vh::platform::image {

enum class DecodeError { None, NotFound, Malformed, TooLarge, OutOfMemory };

// Decodes a PNG or GIF file, told apart by its signature whatever its name,
// into a new SDL_PIXELFORMAT_ARGB8888 surface; null with the reason in
// `error` on failure. The path is a Windows path (see windows_path.h).
SDL_Surface* decode(const std::string& windowsPath, DecodeError& error);

// Decodes the first frame of a GIF file's bytes onto a transparent
// SDL_PIXELFORMAT_ARGB8888 surface of the file's logical screen size, with
// the frame's transparent index at alpha 0; null with the reason in `error`.
SDL_Surface* decodeGif(const std::vector<uint8_t>& data, DecodeError& error);

// TooLarge when an image of this size is more than the decoder accepts.
DecodeError checkImageSize(int64_t width, int64_t height);

// A new SDL_PIXELFORMAT_RGB888 surface: the image drawn over an opaque
// background (0xAARRGGBB; its alpha is ignored) with alpha blending.
SDL_Surface* composeOverBackground(SDL_Surface* argbImage, uint32_t background);

// The largest image the decoder accepts: any image must fit in a surface.
// 64 MB (4096 x 4096) still decodes in well under a second; the game's
// largest picture is 256 x 464.
constexpr int64_t kMaxImageSide = kMaxSurfaceSide;
constexpr int64_t kMaxImageBytes = int64_t(64) << 20;

}  // namespace vh::platform::image
