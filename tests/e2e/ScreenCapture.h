// Reads what the screen shows: whole areas for screenshots, a fingerprint of a small area
// to see a drawn text change.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Platform.h"

class ScreenCapture {
public:
    // area in screen coordinates, clipped to the screen.
    static bool Grab(RECT area, int* width, int* height, std::vector<uint8_t>* rgb);
    static bool SavePng(const RECT& area, const std::wstring& path);
    // 0 when the area cannot be read.
    static uint64_t Fingerprint(const RECT& area);
    // Distinct colours in the area, to tell a drawn window from an empty one.
    static int ColourCount(const RECT& area);
};
