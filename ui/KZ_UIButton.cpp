#include "ui/KZ_UIButton.h"

#include <cstring>

KZ_UIButton::KZ_UIButton(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags)
    : UICaptionButton(parent, name, styleFlags, BS_PUSHBUTTON, 18, 2), default_(0)
{
}

KZ_UIButton::~KZ_UIButton()
{
}

bool KZ_UIButton::IsKindOf(const char* className) const
{
    return std::strcmp(className, "KZ_UIButton") == 0 || UICaptionButton::IsKindOf(className);
}

int KZ_UIButton::OnCommand(int, int)
{
    Publish("OnPushed");
    return 0;
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
