#include "ui/KZ_UIProgressBar.h"

#include <commctrl.h>
#include <cstring>

KZ_UIProgressBar::KZ_UIProgressBar(KZ_UIWindow* parent, const WString& name)
    : KZ_UIControl(parent, name, 0, L"msctls_progress32", 0, 0), position_(0), range_(1)
{
}

KZ_UIProgressBar::~KZ_UIProgressBar()
{
}

bool KZ_UIProgressBar::IsKindOf(const char* className) const
{
    return std::strcmp(className, "KZ_UIProgressBar") == 0 || KZ_UIControl::IsKindOf(className);
}

void KZ_UIProgressBar::GetPreferredSize(int* width, int* height)
{
    *width = 12;
    *height = 12;
}

void KZ_UIProgressBar::SetProgress(int position, int range)
{
    if (range != range_) {
        range_ = range;
        if (GetControl() != nullptr)
            SendMessageW(GetControl(), PBM_SETRANGE, 0, MAKELPARAM(0, range));
    }
    if (position != position_) {
        position_ = position;
        if (GetControl() != nullptr)
            SendMessageW(GetControl(), PBM_SETPOS, static_cast<WPARAM>(position), 0);
    }
}
