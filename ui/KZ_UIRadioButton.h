#pragma once
#include "ui/UICaptionButton.h"

// Native radio button that does not check itself: the page answers "OnPushed" with SetCheck on
// every button of its group.
class KZ_UIRadioButton : public UICaptionButton {
public:
    KZ_UIRadioButton(KZ_UIWindow* parent, const WString& name);
    ~KZ_UIRadioButton() override;

    bool IsKindOf(const char* className) const override;
    int OnCommand(int notificationCode, int controlId) override;

    // Any non-zero value checks the button.
    void SetCheck(int value);
    int GetCheck() const { return check_; }

private:
    int check_;
};
