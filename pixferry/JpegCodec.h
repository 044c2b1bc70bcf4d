// JPEG through libjpeg, on the reader's plain pixel buffers.
#pragma once

#include <string_view>

#include "iPadcomponent.h"

// Decodes the top-left corner of a JPEG image, at most maxWidth x maxHeight
// pixels (the rest is never decoded). False, with `bitmap` empty, for data
// that is not a JPEG the library can read into colour or grey pixels.
bool DecodeJpegCorner(std::string_view bytes, int maxWidth, int maxHeight, TBitmap24& bitmap);
