#include "ui/KZ_UIButton.h"

#include "ui/UILook.h"

#include <cstring>

KZ_UIButton::KZ_UIButton(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags)
    : KZ_UIControl(parent, name, styleFlags, L"BUTTON", BS_PUSHBUTTON, 0), default_(0)
{
    SetText(GetMessage(L"Title"));
}

KZ_UIButton::~KZ_UIButton()
{
}

bool KZ_UIButton::IsKindOf(const char* className) const
{
    return std::strcmp(className, "KZ_UIButton") == 0 || KZ_UIControl::IsKindOf(className);
}

void KZ_UIButton::GetPreferredSize(int* width, int* height)
{
    int w, h;
    MeasureTextLine(text_, *width, &w, &h);
    *width = w + UILook::Scale(18);
    *height = h + UILook::Scale(2);
}

int KZ_UIButton::OnCommand(int, int)
{
    Publish("OnPushed");
    return 0;
}

void KZ_UIButton::SetText(const WString& text)
{
    text_ = text;
    if (GetControl() != nullptr)
        SetWindowTextW(GetControl(), text_.c_str());
    Invalidate();
}

void KZ_UIButton::SetDefault(int flag)
{
    default_ = flag;
    if (flag != 0 && GetControl() != nullptr) {
        LONG_PTR style = GetWindowLongPtrW(GetControl(), GWL_STYLE);
        SendMessageW(GetControl(), BM_SETSTYLE, static_cast<WPARAM>(style | BS_DEFPUSHBUTTON),
                     TRUE);
    }
    Invalidate();
}
