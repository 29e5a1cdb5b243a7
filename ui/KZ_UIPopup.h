#pragma once
#include "ui/KZ_UIWindow.h"

// The toolkit's top-level window: caption, frame, an optional look for everything inside it,
// close requests published as "OnClose" (the window is not destroyed by them), and the target
// of the Escape key. Constructing one installs the keyboard pre-translation in the main loop.
class KZ_UIPopup : public KZ_UIWindow {
public:
    // Style flags.
    enum { ResizableFrame = 1, NoCaption = 2, ToolWindow = 4 };
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

    // The keyboard pre-translation of the main loop (UIKeyboard). Non-zero: consumed, neither
    // translated nor dispatched.
    static int PreTranslateKey(MSG* message);
    // Hands PreTranslateKey to KZ_EventListener::RunMainLoop.
    static void InstallKeyHandling();

    // On deactivation the control holding the keyboard focus is remembered; on activation it
    // gets the focus back (when it still can take it), so that a dialog, a message box or
    // another program in between does not leave the keyboard without target.
    int OnActivate(bool active) override;

    static DWORD WindowStyleFor(unsigned int styleFlags);
    static DWORD ExtendedStyleFor(unsigned int styleFlags);

private:
    UILook* look_;
    HWND savedFocus_;
};
