#pragma once
#include "ui/UICaptionButton.h"

// Native push button. Its caption is the catalog text of "<path>.Title"; every notification of
// the native button publishes "OnPushed", and a default button is also pushed by Enter.
class KZ_UIButton : public UICaptionButton {
public:
    // The style flags are stored and play no further part.
    KZ_UIButton(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags);
    ~KZ_UIButton() override;

    bool IsKindOf(const char* className) const override;
    int OnCommand(int notificationCode, int controlId) override;
    int IsDefaultButton() override { return IsDefault(); }

    // Non-zero also makes the native button a default push button (a later 0 leaves it so).
    void SetDefault(int flag);
    int IsDefault() const { return default_; }

private:
    int default_;
};
