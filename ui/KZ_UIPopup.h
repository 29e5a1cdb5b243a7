#pragma once
#include "ui/KZ_UIWindow.h"

// The toolkit's top-level window: caption, frame, an optional look for everything inside it,
// close requests published as "OnClose" (the window is not destroyed by them), and the target
// of the Escape key. Also owns the keyboard pre-translation of the main loop.
class KZ_UIPopup : public KZ_UIWindow {
public:
    // Style flags.
    enum { ResizableFrame = 1, NoCaption = 2, ToolWindow = 4 };
    // Constructing a popup installs the keyboard pre-translation in the main loop.
    KZ_UIPopup(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags);
    ~KZ_UIPopup() override;

    bool IsKindOf(const char* className) const override;
    // Its own look when one is set, else the inherited answer.
    UILook* GetLook() override;
    // The look of the popup and of every window inside it without a look of its own.
    void SetLook(UILook* look) override;
    void OnClose() override;

    void SetTitle(const WString& text);
    // height -1 keeps the current size and centres the window as it is.
    void CenterOnDesktop(int width, int height);

    // Dialog keys for every toolkit window tree: Enter, Escape, Tab and Shift+Tab in WM_CHAR,
    // and access keys (Alt + the letter after "&" in a button's caption) in WM_SYSCHAR.
    // Non-zero: consumed, neither translated nor dispatched.
    static int PreTranslateKey(MSG* message);
    // The visible, enabled push or radio button of window's tree whose caption marks letter
    // as its access key; null when there is none.
    static KZ_UIWindow* FindAccessKey(KZ_UIWindow* window, wchar_t letter);

    // WM_ACTIVATE: on deactivation the control holding the keyboard focus is remembered; on
    // activation it gets the focus back (when it still can take it), so that a dialog, a
    // message box or another program in between does not leave the keyboard without target.
    // Returns non-zero when it placed the focus itself.
    int OnActivate(bool active);
    // Hands PreTranslateKey to KZ_EventListener::RunMainLoop.
    static void InstallKeyHandling();

    static DWORD WindowStyleFor(unsigned int styleFlags);
    static DWORD ExtendedStyleFor(unsigned int styleFlags);

private:
    // The successor of window in the pre-order walk of its tree, wrapping at the root.
    static KZ_UIWindow* NextInTabOrder(KZ_UIWindow* window);
    static void TabForward(KZ_UIWindow* start);
    static void TabBackward(KZ_UIWindow* start);

    UILook* look_;
    HWND savedFocus_;
};
