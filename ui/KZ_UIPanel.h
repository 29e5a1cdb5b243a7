#pragma once
#include "ui/KZ_UIWindow.h"

// A plain child window whose children are placed by its layout.
class KZ_UIPanel : public KZ_UIWindow {
public:
    KZ_UIPanel(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags);
    ~KZ_UIPanel() override;

    bool IsKindOf(const char* className) const override;
};
