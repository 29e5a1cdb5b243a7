#include "ui/KZ_UIPanel.h"

#include <cstring>

KZ_UIPanel::KZ_UIPanel(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags)
    : KZ_UIWindow(parent, name, styleFlags, nullptr, kChildWindowStyle, 0)
{
}

KZ_UIPanel::~KZ_UIPanel()
{
}

bool KZ_UIPanel::IsKindOf(const char* className) const
{
    return std::strcmp(className, "KZ_UIPanel") == 0 || KZ_UIWindow::IsKindOf(className);
}
