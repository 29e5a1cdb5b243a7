#pragma once
#include "ui/KZ_UIControl.h"

// Native radio button that does not check itself: the page answers "OnPushed" with SetCheck on
// every button of its group.
class KZ_UIRadioButton : public KZ_UIControl {
public:
    KZ_UIRadioButton(KZ_UIWindow* parent, const WString& name);
    ~KZ_UIRadioButton() override;

    bool IsKindOf(const char* className) const override;
    void GetPreferredSize(int* width, int* height) override;
    int OnCommand(int notificationCode, int controlId) override;

    void SetText(const WString& text);
    WString GetText() const { return text_; }
    // Any non-zero value checks the button.
    void SetCheck(int value);
    int GetCheck() const { return check_; }

private:
    int check_;
    WString text_;
};
