#include "ui/KZ_UIRadioButton.h"

#include <cstring>

KZ_UIRadioButton::KZ_UIRadioButton(KZ_UIWindow* parent, const WString& name)
    : UICaptionButton(parent, name, 0, BS_RADIOBUTTON, 20, 0), check_(0)
{
}

KZ_UIRadioButton::~KZ_UIRadioButton()
{
}

bool KZ_UIRadioButton::IsKindOf(const char* className) const
{
    return std::strcmp(className, "KZ_UIRadioButton") == 0 || UICaptionButton::IsKindOf(className);
}

int KZ_UIRadioButton::OnCommand(int, int)
{
    // The click Windows sends when the toolkit moves the focus here is not the user's.
    if (IsTakingFocus())
        return 0;
    Publish("OnPushed");
    return 0;
}

void KZ_UIRadioButton::SetCheck(int value)
{
    check_ = value;
    if (GetControl() != nullptr)
        SendMessageW(GetControl(), BM_SETCHECK, value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
}
