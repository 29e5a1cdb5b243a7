#include "ui/UICaptionButton.h"

#include "ui/UILook.h"

namespace {

// The letter after the first single "&" of a caption ("&&" is a literal "&"), or 0.
wchar_t AccessKeyOf(const wchar_t* caption)
{
    for (const wchar_t* p = caption; *p != 0; ++p) {
        if (*p != L'&')
            continue;
        if (p[1] == L'&') {
            ++p;
            continue;
        }
        return p[1];
    }
    return 0;
}

} // namespace

UICaptionButton::UICaptionButton(KZ_UIWindow* parent, const WString& name,
                                 unsigned int styleFlags, DWORD nativeStyle, int paddingWidth,
                                 int paddingHeight)
    : KZ_UIControl(parent, name, styleFlags, L"BUTTON", nativeStyle, 0),
      paddingWidth_(paddingWidth), paddingHeight_(paddingHeight)
{
    SetText(GetMessage(L"Title"));
}

UICaptionButton::~UICaptionButton()
{
}

void UICaptionButton::GetPreferredSize(int* width, int* height)
{
    int w, h;
    MeasureTextLine(text_, *width, &w, &h);
    *width = w + UILook::Scale(paddingWidth_);
    *height = h + UILook::Scale(paddingHeight_);
}

wchar_t UICaptionButton::GetAccessKey()
{
    // The native caption, as the user sees it, and only while a click could reach the button.
    HWND control = GetControl();
    wchar_t caption[256];
    if (control == nullptr || !IsWindowVisible(control) || !IsWindowEnabled(control) ||
        GetWindowTextW(control, caption, 256) <= 0)
        return 0;
    return AccessKeyOf(caption);
}

void UICaptionButton::SetText(const WString& text)
{
    text_ = text;
    if (GetControl() != nullptr)
        SetWindowTextW(GetControl(), text_.c_str());
    Invalidate();
}
