#include "UiTestSupport.h"

#include "ui/KZ_UIPopup.h"

void PumpMessages(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < milliseconds) {
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            break;
        if (KZ_UIPopup::PreTranslateKey(&message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void ReleaseTopLevel(KZ_UIWindow* window)
{
    HWND native = window->GetWindow();
    if (native != nullptr)
        SetWindowLongPtrW(native, GWL_STYLE, GetWindowLongPtrW(native, GWL_STYLE) & ~WS_VISIBLE);
    window->Release();
}

SizedWindow::SizedWindow(KZ_UIWindow* parent, int width, int height)
    : KZ_UIWindow(parent, L"Sized", 0, nullptr, kChildWindowStyle, 0), preferredWidth(width),
      preferredHeight(height), area(0)
{
}

void SizedWindow::GetPreferredSize(int* width, int* height)
{
    askedWidths.push_back(*width);
    if (area != 0 && *width > 0) {
        *height = (area + *width - 1) / *width;
    } else {
        *height = preferredHeight;
    }
    *width = preferredWidth;
}

int LineHeight(HFONT font)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return metrics.tmHeight;
}
