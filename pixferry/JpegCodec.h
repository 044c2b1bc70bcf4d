// JPEG through libjpeg, on the reader's plain pixel buffers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "iPadcomponent.h"

// Decodes the top-left corner of a JPEG image, at most maxWidth x maxHeight
// pixels (the rest is never decoded). False, with `bitmap` empty, for data
// that is not a JPEG the library can read into colour or grey pixels.
bool DecodeJpegCorner(std::string_view bytes, int maxWidth, int maxHeight, TBitmap24& bitmap);

// A baseline JPEG of the picture: quality 90, the floating-point DCT, colour,
// sequential; the library's defaults for the rest (YCbCr 2x2, standard
// Huffman tables, no restart markers, JFIF density unit 0 at 1:1).
// Nothing for an empty picture or when the library fails.
std::optional<std::string> EncodeJpeg(const TBitmap24& bitmap);
