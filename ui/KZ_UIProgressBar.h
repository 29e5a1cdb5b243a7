#pragma once
#include "ui/KZ_UIControl.h"

// Native progress bar; talks to the control only when position or range change.
class KZ_UIProgressBar : public KZ_UIControl {
public:
    KZ_UIProgressBar(KZ_UIWindow* parent, const WString& name);
    ~KZ_UIProgressBar() override;

    bool IsKindOf(const char* className) const override;
    void GetPreferredSize(int* width, int* height) override;

    // The stored range starts at 1 while the native control has its own default range.
    void SetProgress(int position, int range);
    int GetPosition() const { return position_; }
    int GetRange() const { return range_; }

private:
    int position_;
    int range_;
};
