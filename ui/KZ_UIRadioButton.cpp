#include "ui/KZ_UIRadioButton.h"

#include "ui/UILook.h"

#include <cstring>

KZ_UIRadioButton::KZ_UIRadioButton(KZ_UIWindow* parent, const WString& name)
    : KZ_UIControl(parent, name, 0, L"BUTTON", BS_RADIOBUTTON, 0), check_(0)
{
    SetText(GetMessage(L"Title"));
}

KZ_UIRadioButton::~KZ_UIRadioButton()
{
}

bool KZ_UIRadioButton::IsKindOf(const char* className) const
{
    return std::strcmp(className, "KZ_UIRadioButton") == 0 || KZ_UIControl::IsKindOf(className);
}

void KZ_UIRadioButton::GetPreferredSize(int* width, int* height)
{
    int w, h;
    MeasureTextLine(text_, *width, &w, &h);
    *width = w + UILook::Scale(20);
    *height = h;
}

int KZ_UIRadioButton::OnCommand(int, int)
{
    // The click Windows sends when the toolkit moves the focus here is not the user's.
    if (IsTakingFocus())
        return 0;
    Publish("OnPushed");
    return 0;
}

void KZ_UIRadioButton::SetText(const WString& text)
{
    text_ = text;
    if (GetControl() != nullptr)
        SetWindowTextW(GetControl(), text_.c_str());
    Invalidate();
}

void KZ_UIRadioButton::SetCheck(int value)
{
    check_ = value;
    if (GetControl() != nullptr)
        SendMessageW(GetControl(), BM_SETCHECK, value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
}
