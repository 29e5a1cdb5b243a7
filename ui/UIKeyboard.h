#pragma once
#include "foundation/Platform.h"

class KZ_UIWindow;

// Dialog keys for every toolkit window tree, though no native dialog is involved: Enter pushes
// the default button, Escape closes the popup, Tab and Shift+Tab move the focus, and Alt + the
// letter after "&" in a caption presses that control. Main thread only.
class UIKeyboard {
public:
    // The main loop's pre-translation of WM_CHAR and WM_SYSCHAR (KZ_UIPopup installs it).
    // Non-zero: consumed, neither translated nor dispatched.
    static int PreTranslateKey(MSG* message);
    // Enter: from start up through its ancestors, the first default button that can take the
    // focus (is enabled) gets "OnPushed". Returns 1 when a button was pushed.
    static int PushDefaultButton(KZ_UIWindow* start);
    // The window of window's tree whose caption marks letter as its access key and that may be
    // pressed now; null when there is none.
    static KZ_UIWindow* FindAccessKey(KZ_UIWindow* window, wchar_t letter);

private:
    // The successor of window in the pre-order walk of its tree, wrapping at the root.
    static KZ_UIWindow* NextInTabOrder(KZ_UIWindow* window);
    static void TabForward(KZ_UIWindow* start);
    static void TabBackward(KZ_UIWindow* start);
};
