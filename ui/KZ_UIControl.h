#pragma once
#include "ui/KZ_UIWindow.h"

// A toolkit window hosting one native system control as the only child of its container.
// The control's notifications reach the container, whose OnCommand is the control's own.
class KZ_UIControl : public KZ_UIWindow {
public:
    KZ_UIControl(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags,
                 const wchar_t* nativeClass, DWORD nativeStyle, DWORD nativeExtendedStyle);
    ~KZ_UIControl() override;

    bool IsKindOf(const char* className) const override;
    int CanFocus() override;
    void Focus() override;
    void OnSize(int width, int height) override;
    void OnDestroy() override;
    void Invalidate() override;

    void Enable(bool enable);
    bool IsEnabled() const;
    HWND GetControl() const { return control_; }

    // Gives the keyboard focus to a native control. Windows "clicks" a radio button that gets
    // the focus while unchecked; a focus the toolkit moves (Tab, an access key, the focus given
    // back on activation) is no choice of the user's, so the controls ignore that click.
    static void MoveFocus(HWND control);

protected:
    // Whether the toolkit is giving this control the focus right now (main thread).
    bool IsTakingFocus() const;

    // Extent of text on one line in the native control's own font (the context is restored),
    // starting from a rectangle of the given width. 0 x 0 without native control.
    void MeasureTextLine(const WString& text, int width, int* measuredWidth, int* measuredHeight);

private:
    HWND control_;
    static HWND focusTarget_;
};
