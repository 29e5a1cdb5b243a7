#pragma once
#include "foundation/Platform.h"
#include "foundation/ScopedHandle.h"

// Fonts and shared drawing resources of the toolkit. The default look is the only one in use:
// native push buttons and three fonts derived from the system's non-client metrics.
class UILook {
public:
    UILook();
    virtual ~UILook();

    virtual int OwnerDrawButtons();
    // Not consulted by the toolkit.
    virtual int FlatControls();
    virtual HFONT GetControlFont();
    virtual HFONT GetTextFont();
    virtual HFONT GetTitleFont();

    // Created on first use, kept for the process; null only when out of memory.
    static UILook* GetDefault();
    // The message font, bold and 1.2 times as high (integer arithmetic).
    static LOGFONTW DeriveTitleFont(const LOGFONTW& messageFont);
    // The system's non-client metrics as the look reads them. False when the system refuses.
    static bool ReadNonClientMetrics(NONCLIENTMETRICSW* metrics);

    // Sizes are written for 96 dots per inch; Scale gives a size at the system's DPI (read once,
    // from the screen; a DPI-aware program sees the real one), rounded to the nearest pixel.
    static int GetSystemDpi();
    static int Scale(int size96);

    // The white page brush, made at program start.
    static HBRUSH GetWhiteBrush();
    // The background of the pages that are not white (the system's menu colour), in the
    // background convention of KZ_UIWindow::SetBackground.
    static HBRUSH GetPageBrush();
    // A system colour in that convention: its index + 1 stands for the system's brush.
    static HBRUSH SystemColourBrush(int colourIndex);
    // One memory device context compatible with the screen, made on first use.
    static HDC GetMemoryDC();
    static void DrawBitmap(HDC target, HBITMAP bitmap, int x, int y, int width, int height,
                           int sourceX, int sourceY, DWORD rasterOperation);
    // 0 x 0 for a null bitmap or when the header cannot be read.
    static void GetBitmapSize(HBITMAP bitmap, int* width, int* height);

private:
    UILook(const UILook&) = delete;
    UILook& operator=(const UILook&) = delete;

    ScopedGdiObject<HFONT> controlFont_;
    ScopedGdiObject<HFONT> textFont_;
    ScopedGdiObject<HFONT> titleFont_;
};
