#include "ui/UILook.h"

#include <new>

namespace {

// The first size of the structure, without iPaddedBorderWidth; every system version takes it.
const UINT kNonClientMetricsSize = 500;

HBRUSH g_whiteBrush = CreateSolidBrush(RGB(255, 255, 255));
UILook* g_defaultLook = nullptr;
int g_systemDpi = 0;
HDC g_memoryDC = nullptr;

} // namespace

bool UILook::ReadNonClientMetrics(NONCLIENTMETRICSW* metrics)
{
    ZeroMemory(metrics, sizeof(*metrics));
    metrics->cbSize = kNonClientMetricsSize;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, kNonClientMetricsSize, metrics, 0))
        return true;
    // A system that knows only the longer structure gets that one.
    ZeroMemory(metrics, sizeof(*metrics));
    metrics->cbSize = sizeof(*metrics);
    return SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(*metrics), metrics, 0) != FALSE;
}

LOGFONTW UILook::DeriveTitleFont(const LOGFONTW& messageFont)
{
    LOGFONTW title = messageFont;
    title.lfHeight = messageFont.lfHeight * 12 / 10;
    title.lfWeight = FW_BOLD;
    return title;
}

UILook::UILook() : controlFont_(nullptr), textFont_(nullptr), titleFont_(nullptr)
{
    NONCLIENTMETRICSW metrics;
    // Without metrics the fonts stay null and text is drawn with the context's default font.
    if (!ReadNonClientMetrics(&metrics))
        return;
    controlFont_ = CreateFontIndirectW(&metrics.lfMenuFont);
    textFont_ = CreateFontIndirectW(&metrics.lfMessageFont);
    LOGFONTW title = DeriveTitleFont(metrics.lfMessageFont);
    titleFont_ = CreateFontIndirectW(&title);
}

UILook::~UILook()
{
    if (controlFont_)
        DeleteObject(controlFont_);
    if (textFont_)
        DeleteObject(textFont_);
    if (titleFont_)
        DeleteObject(titleFont_);
}

int UILook::OwnerDrawButtons()
{
    return 0;
}

int UILook::FlatControls()
{
    return 0;
}

HFONT UILook::GetControlFont()
{
    return controlFont_;
}

HFONT UILook::GetTextFont()
{
    return textFont_;
}

HFONT UILook::GetTitleFont()
{
    return titleFont_;
}

UILook* UILook::GetDefault()
{
    if (g_defaultLook == nullptr)
        g_defaultLook = new (std::nothrow) UILook();
    return g_defaultLook;
}

int UILook::GetSystemDpi()
{
    if (g_systemDpi == 0) {
        HDC screen = GetDC(nullptr);
        int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen != nullptr)
            ReleaseDC(nullptr, screen);
        g_systemDpi = dpi > 0 ? dpi : 96;
    }
    return g_systemDpi;
}

int UILook::Scale(int size96)
{
    return MulDiv(size96, GetSystemDpi(), 96);
}

HBRUSH UILook::GetWhiteBrush()
{
    return g_whiteBrush;
}

HDC UILook::GetMemoryDC()
{
    if (g_memoryDC == nullptr) {
        HDC screen = GetDC(nullptr);
        g_memoryDC = CreateCompatibleDC(screen);
        if (screen)
            ReleaseDC(nullptr, screen);
    }
    return g_memoryDC;
}

void UILook::DrawBitmap(HDC target, HBITMAP bitmap, int x, int y, int width, int height,
                        int sourceX, int sourceY, DWORD rasterOperation)
{
    HDC memory = GetMemoryDC();
    if (memory == nullptr || bitmap == nullptr)
        return;
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(target, x, y, width, height, memory, sourceX, sourceY, rasterOperation);
    SelectObject(memory, previous);
}

void UILook::GetBitmapSize(HBITMAP bitmap, int* width, int* height)
{
    *width = 0;
    *height = 0;
    HDC memory = GetMemoryDC();
    if (bitmap == nullptr || memory == nullptr)
        return;
    HGDIOBJ previous = SelectObject(memory, bitmap);
    // GetDIBits fills the header from a bitmap; it wants room for a colour table beside it.
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info;
    ZeroMemory(&info, sizeof(info));
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    if (GetDIBits(memory, bitmap, 0, 0, nullptr, reinterpret_cast<BITMAPINFO*>(&info),
                  DIB_RGB_COLORS)) {
        *width = info.header.biWidth;
        *height = info.header.biHeight;
    }
    SelectObject(memory, previous);
}
