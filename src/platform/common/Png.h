#pragma once
#include <optional>
#include <string>

#include "draw/Image.h"

namespace kelo {

// Writes `image` as an 8-bit RGB PNG file; false when the file could not be written.
bool SavePng(const Image& image, const std::string& path);

// Reads a PNG file back into an image (any colour type; alpha is dropped), or nothing.
std::optional<Image> LoadPng(const std::string& path);

}  // namespace kelo
