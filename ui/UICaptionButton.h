#pragma once
#include "ui/KZ_UIControl.h"

// A native "BUTTON" whose caption is the catalog text of "<path>.Title": what the push button
// and the radio button share. Its preferred size is the caption's extent on one line plus the
// padding its subclass gives.
class UICaptionButton : public KZ_UIControl {
public:
    UICaptionButton(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags,
                    DWORD nativeStyle, int paddingWidth, int paddingHeight);
    ~UICaptionButton() override;

    void GetPreferredSize(int* width, int* height) override;
    wchar_t GetAccessKey() override;

    void SetText(const WString& text);
    WString GetText() const { return text_; }

private:
    WString text_;
    int paddingWidth_;
    int paddingHeight_;
};
