#pragma once
#include "ui/KZ_UIWindow.h"

// Static word-wrapped text, drawn by the toolkit. Its text is the catalog text of
// "<path>.Label" with the packaged product version as parameter /P1.
class UILabel : public KZ_UIWindow {
public:
    // Style flag TitleFont: the look's title font, else its text font.
    enum { TitleFont = 1 };
    UILabel(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags);
    ~UILabel() override;

    // Height for width: the word-wrapped text plus the inset on every side.
    void GetPreferredSize(int* width, int* height) override;
    void Paint(HDC dc, const RECT& area) override;

    // Replaces the caption by a data text (a path, a status), which is drawn and measured as
    // it is: an "&" in it shows as "&", not as an access key underline.
    void SetText(const WString& text);
    const WString& GetText() const { return text_; }
    int GetInset() const { return inset_; }
    HFONT GetFont();

private:
    // The label's font and a transparent background, in a context the caller restores.
    void PrepareContext(HDC dc);

    int inset_;
    // DT_NOPREFIX once a data text was set; catalog captions keep their "&" access keys.
    UINT textFormat_;
    WString text_;
};
