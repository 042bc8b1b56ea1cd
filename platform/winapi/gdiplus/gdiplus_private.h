// What the GDI+ functions share with the rest of the layer.
#pragma once

#include <string>

#include "image_decode.h"

namespace vh::platform::gdiplus {

// Images alive, for the tests' count of live platform objects.
int liveImageCount();

// Tells the player, on stderr, that a picture file could not be read and
// why: the first few files once each, then one line that there are more.
void reportUnreadablePicture(const std::string& windowsPath, image::DecodeError error);

}  // namespace vh::platform::gdiplus
