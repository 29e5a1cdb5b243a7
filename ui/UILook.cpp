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

UILook::UILook()
{
    NONCLIENTMETRICSW metrics;
    // Without metrics the fonts stay null and text is drawn with the context's default font.
    if (!ReadNonClientMetrics(&metrics))
        return;
    controlFont_.reset(CreateFontIndirectW(&metrics.lfMenuFont));
    textFont_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    LOGFONTW title = DeriveTitleFont(metrics.lfMessageFont);
    titleFont_.reset(CreateFontIndirectW(&title));
}

UILook::~UILook()
{
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
    return controlFont_.get();
}

HFONT UILook::GetTextFont()
{
    return textFont_.get();
}

HFONT UILook::GetTitleFont()
{
    return titleFont_.get();
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
        const ScopedWindowDC screen(nullptr, GetDC(nullptr));
        int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
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

HBRUSH UILook::GetPageBrush()
{
    return SystemColourBrush(COLOR_MENU);
}

HBRUSH UILook::SystemColourBrush(int colourIndex)
{
    return reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(colourIndex + 1));
}

HDC UILook::GetMemoryDC()
{
    if (g_memoryDC == nullptr) {
        const ScopedWindowDC screen(nullptr, GetDC(nullptr));
        g_memoryDC = CreateCompatibleDC(screen.get());
    }
    return g_memoryDC;
}

void UILook::DrawBitmap(HDC target, HBITMAP bitmap, int x, int y, int width, int height,
                        int sourceX, int sourceY, DWORD rasterOperation)
{
    HDC memory = GetMemoryDC();
    if (memory == nullptr || bitmap == nullptr)
        return;
    const ScopedSelection selected(memory, SelectObject(memory, bitmap));
    BitBlt(target, x, y, width, height, memory, sourceX, sourceY, rasterOperation);
}

void UILook::GetBitmapSize(HBITMAP bitmap, int* width, int* height)
{
    *width = 0;
    *height = 0;
    HDC memory = GetMemoryDC();
    if (bitmap == nullptr || memory == nullptr)
        return;
    const ScopedSelection selected(memory, SelectObject(memory, bitmap));
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
}
