#include "tests/e2e/ScreenCapture.h"

#include <set>

#include "tests/e2e/PngFile.h"

bool ScreenCapture::Grab(RECT area, int* width, int* height, std::vector<uint8_t>* rgb)
{
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (!IntersectRect(&area, &area, &screen))
        return false;
    const int w = area.right - area.left;
    const int h = area.bottom - area.top;
    HDC screenDc = GetDC(nullptr);
    if (screenDc == nullptr)
        return false;
    bool ok = false;
    HDC memoryDc = CreateCompatibleDC(screenDc);
    BITMAPINFO info;
    ZeroMemory(&info, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = memoryDc != nullptr ? CreateDIBSection(screenDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memoryDc, bitmap);
        if (BitBlt(memoryDc, 0, 0, w, h, screenDc, area.left, area.top, SRCCOPY | CAPTUREBLT)) {
            GdiFlush();
            rgb->resize(static_cast<size_t>(w) * h * 3);
            const uint8_t* source = static_cast<const uint8_t*>(bits);
            uint8_t* target = rgb->data();
            for (size_t i = 0, count = static_cast<size_t>(w) * h; i < count; ++i) {
                target[0] = source[2];
                target[1] = source[1];
                target[2] = source[0];
                source += 4;
                target += 3;
            }
            *width = w;
            *height = h;
            ok = true;
        }
        SelectObject(memoryDc, old);
        DeleteObject(bitmap);
    }
    if (memoryDc != nullptr)
        DeleteDC(memoryDc);
    ReleaseDC(nullptr, screenDc);
    return ok;
}

bool ScreenCapture::SavePng(const RECT& area, const std::wstring& path)
{
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    return Grab(area, &width, &height, &rgb) && PngFile::Write(path, width, height, rgb);
}

uint64_t ScreenCapture::Fingerprint(const RECT& area)
{
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    if (!Grab(area, &width, &height, &rgb))
        return 0;
    uint64_t hash = 1469598103934665603ull; // FNV-1a
    for (uint8_t byte : rgb) {
        hash ^= byte;
        hash *= 1099511628211ull;
    }
    return hash == 0 ? 1 : hash;
}

int ScreenCapture::ColourCount(const RECT& area)
{
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    if (!Grab(area, &width, &height, &rgb))
        return 0;
    std::set<uint32_t> colours;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        colours.insert((rgb[i] << 16) | (rgb[i + 1] << 8) | rgb[i + 2]);
    return static_cast<int>(colours.size());
}
