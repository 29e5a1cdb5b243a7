#include "ui/KZ_UIControl.h"

#include "foundation/ScopedHandle.h"
#include "ui/UILook.h"

#include <cstring>

KZ_UIControl::KZ_UIControl(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags,
                           const wchar_t* nativeClass, DWORD nativeStyle, DWORD nativeExtendedStyle)
    : KZ_UIWindow(parent, name, styleFlags, nullptr, kChildWindowStyle, 0), control_(nullptr)
{
    control_ = CreateNativeChild(nativeClass, name, nativeStyle, nativeExtendedStyle);
    if (control_ == nullptr)
        return;
    HFONT font = nullptr;
    if (parent != nullptr) {
        UILook* look = parent->GetLook();
        if (look != nullptr)
            font = look->GetControlFont();
    }
    SendMessageW(control_, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
}

KZ_UIControl::~KZ_UIControl()
{
    // The native control is a native child of the container and goes with it.
    control_ = nullptr;
}

bool KZ_UIControl::IsKindOf(const char* className) const
{
    return std::strcmp(className, "KZ_UIControl") == 0 || KZ_UIWindow::IsKindOf(className);
}

int KZ_UIControl::CanFocus()
{
    return IsEnabled() ? 1 : 0;
}

HWND KZ_UIControl::focusTarget_ = nullptr;

void KZ_UIControl::MoveFocus(HWND control)
{
    const HWND outer = focusTarget_;
    focusTarget_ = control;
    SetFocus(control);
    focusTarget_ = outer;
}

bool KZ_UIControl::IsTakingFocus() const
{
    return control_ != nullptr && control_ == focusTarget_;
}

void KZ_UIControl::Focus()
{
    if (control_ != nullptr)
        MoveFocus(control_);
}

void KZ_UIControl::OnSize(int width, int height)
{
    if (control_ != nullptr)
        SetWindowPos(control_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void KZ_UIControl::OnDestroy()
{
    if (control_ != nullptr) {
        HWND control = control_;
        control_ = nullptr;
        DestroyWindow(control);
    }
}

void KZ_UIControl::Invalidate()
{
    KZ_UIWindow::Invalidate();
    if (control_ != nullptr)
        InvalidateRect(control_, nullptr, FALSE);
}

void KZ_UIControl::Enable(bool enable)
{
    if (control_ != nullptr)
        EnableWindow(control_, enable ? TRUE : FALSE);
}

bool KZ_UIControl::IsEnabled() const
{
    return control_ != nullptr && IsWindowEnabled(control_);
}

void KZ_UIControl::MeasureTextLine(const WString& text, int width, int* measuredWidth,
                                   int* measuredHeight)
{
    *measuredWidth = 0;
    *measuredHeight = 0;
    const ScopedWindowDC dc(control_, control_ != nullptr ? GetDC(control_) : nullptr);
    if (!dc)
        return;
    // The context comes with the system font; the control draws with its own (WM_SETFONT),
    // which at 144 DPI is taller: measured without it, descenders are clipped.
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(control_, WM_GETFONT, 0, 0));
    const ScopedSelection selected(dc.get(), font != nullptr ? SelectObject(dc.get(), font) : nullptr);
    RECT bounds = {0, 0, width, 0};
    DrawTextW(dc.get(), text.c_str(), text.Length(), &bounds, DT_CALCRECT | DT_SINGLELINE);
    *measuredWidth = bounds.right - bounds.left;
    *measuredHeight = bounds.bottom - bounds.top;
}
