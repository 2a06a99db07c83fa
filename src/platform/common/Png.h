#pragma once
#include <optional>
#include <string>
#include <vector>

#include "draw/Image.h"

namespace kelo {

// The bytes of an 8-bit RGB PNG file of `image` (empty for an empty image). Lossless,
// compressed for speed rather than size.
std::vector<uint8_t> EncodePng(const Image& image);

// Writes `image` as an 8-bit RGB PNG file; false when the file could not be written.
bool SavePng(const Image& image, const std::string& path);

// Reads a PNG file back into an image (any colour type; alpha is dropped), or nothing.
std::optional<Image> LoadPng(const std::string& path);

}  // namespace kelo
