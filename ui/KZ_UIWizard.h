#pragma once
#include "ui/KZ_UIPopup.h"

class KZ_UIButton;

// A popup that shows one page at a time with Back, Next and Cancel along its bottom edge.
// The pages are simply the wizard's children other than the three buttons, in creation
// order: which page is first, next or last follows from that order alone.
//
// Events (publisher = the wizard): "PageChanged" after every page change, "Finish" when Next
// is pushed on the last page, "OnClose" when Cancel is pushed or the window is asked to close.
class KZ_UIWizard : public KZ_UIPopup {
public:
    KZ_UIWizard(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags);
    ~KZ_UIWizard() override;

    bool IsKindOf(const char* className) const override;
    // The background, then an etched separator 45 pixels above the bottom edge.
    void Paint(HDC dc, const RECT& area) override;

    // Shows page, hides the others, sets Back, Cancel and Next's caption for its position and
    // publishes "PageChanged". Nothing happens when page is already current. Next's enabled
    // state is the caller's business.
    void ShowPage(KZ_UIWindow* page);
    KZ_UIWindow* GetCurrentPage() const { return currentPage_; }
    // While pages are still to be added after the current one, it is not taken as the last
    // page. Ending that (false) places the pages added meanwhile, hides all but the current
    // one and sets the buttons for it again, without a "PageChanged".
    void SetPagesToCome(bool toCome);

    // Every child that is not one of the three buttons.
    bool IsPage(const KZ_UIWindow* window) const;
    KZ_UIWindow* GetFirstPage() const;
    KZ_UIWindow* GetNextPage(const KZ_UIWindow* page) const;

    KZ_UIButton* GetNextButton() const { return nextButton_; }
    KZ_UIButton* GetBackButton() const { return backButton_; }
    KZ_UIButton* GetCancelButton() const { return cancelButton_; }

    // Where the buttons and pages go for a client area (float arithmetic, truncated toward
    // zero, as the placement on "Size" does it; offsets scaled from 96 DPI). Rectangles are
    // x, y, width, height.
    struct ButtonPlacement {
        int backX, nextX, cancelX, buttonY, buttonWidth, buttonHeight;
        int pageWidth, pageHeight;
    };
    static ButtonPlacement ComputePlacement(int clientWidth, int clientHeight);

    // Height of the button band below the pages, where the separator is drawn (96 DPI).
    static const int kButtonBandHeight = 45;

    // Disabling the control that has the keyboard focus leaves the window without one, and
    // with it Enter, Escape and Tab. While the wizard is the active window and the focus is
    // gone (or sits on a disabled or hidden control), it goes to Next when enabled, else to
    // the first control of the current page that can take it, else to Back or Cancel.
    void KeepFocus();

protected:
    void Next();
    void Back();

private:
    void OnSizeEvent(const char* eventName, KZ_EventListener* publisher, void* userData);
    // Buttons along the bottom, every page over the rest of the client area.
    void PlaceChildren();
    // The current page shown and the others hidden; Back, Cancel and Next's caption for it.
    void ApplyCurrentPage();
    void OnNextPushed(const char* eventName, KZ_EventListener* publisher, void* userData);
    void OnBackPushed(const char* eventName, KZ_EventListener* publisher, void* userData);
    void OnCancelPushed(const char* eventName, KZ_EventListener* publisher, void* userData);

    KZ_UIWindow* currentPage_;
    KZ_UIButton* nextButton_;
    KZ_UIButton* backButton_;
    KZ_UIButton* cancelButton_;
    bool pagesToCome_;
};
