// Writes 24-bit RGB images as PNG files (zlib for the image data and the checksums).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class PngFile {
public:
    // rgb: height rows of width × 3 bytes, top row first.
    static bool Write(const std::wstring& path, int width, int height, const std::vector<uint8_t>& rgb);
};
