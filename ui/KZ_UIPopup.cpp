#include "ui/KZ_UIPopup.h"

#include "ui/KZ_UIControl.h"
#include "ui/UIKeyboard.h"

#include <cstring>

namespace {

const DWORD kPopupStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER;

} // namespace

DWORD KZ_UIPopup::WindowStyleFor(unsigned int styleFlags)
{
    DWORD style = kPopupStyle;
    if (styleFlags & ResizableFrame)
        style |= WS_THICKFRAME;
    if (!(styleFlags & NoCaption))
        style |= WS_CAPTION | WS_SYSMENU;
    return style;
}

DWORD KZ_UIPopup::ExtendedStyleFor(unsigned int styleFlags)
{
    return (styleFlags & ToolWindow) ? WS_EX_TOOLWINDOW : 0;
}

KZ_UIPopup::KZ_UIPopup(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags)
    : KZ_UIWindow(parent, name, styleFlags, nullptr, WindowStyleFor(styleFlags),
                  ExtendedStyleFor(styleFlags)),
      look_(nullptr), savedFocus_(nullptr)
{
    InstallKeyHandling();
    SetTitle(GetMessage(L"Title"));
}

KZ_UIPopup::~KZ_UIPopup()
{
}

bool KZ_UIPopup::IsKindOf(const char* className) const
{
    return std::strcmp(className, "KZ_UIPopup") == 0 || KZ_UIWindow::IsKindOf(className);
}

UILook* KZ_UIPopup::GetLook()
{
    if (look_ != nullptr)
        return look_;
    return KZ_UIWindow::GetLook();
}

void KZ_UIPopup::SetLook(UILook* look)
{
    look_ = look;
}

void KZ_UIPopup::OnClose()
{
    Publish("OnClose");
}

void KZ_UIPopup::SetTitle(const WString& text)
{
    if (GetWindow() != nullptr)
        SetWindowTextW(GetWindow(), text.c_str());
}

void KZ_UIPopup::CenterOnDesktop(int width, int height)
{
    HWND window = GetWindow();
    RECT desktop;
    if (window == nullptr || !GetClientRect(GetDesktopWindow(), &desktop))
        return;
    if (height == -1) {
        RECT frame;
        if (!GetWindowRect(window, &frame))
            return;
        int x = (desktop.right + desktop.left) / 2 - (frame.right - frame.left) / 2;
        int y = (desktop.bottom + desktop.top) / 2 - (frame.bottom - frame.top) / 2;
        SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    int x = (desktop.left + desktop.right) / 2 - width / 2;
    int y = (desktop.bottom + desktop.top) / 2 - height / 2;
    SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

int KZ_UIPopup::PreTranslateKey(MSG* message)
{
    return UIKeyboard::PreTranslateKey(message);
}

void KZ_UIPopup::InstallKeyHandling()
{
    KZ_EventListener::SetKeyPreTranslator(&KZ_UIPopup::PreTranslateKey);
}

int KZ_UIPopup::OnActivate(bool active)
{
    HWND window = GetWindow();
    if (window == nullptr)
        return 0;
    if (!active) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus))
            savedFocus_ = focus;
        return 0;
    }
    HWND saved = savedFocus_;
    if (saved == nullptr || !IsWindow(saved) || !IsChild(window, saved) ||
        !IsWindowVisible(saved) || !IsWindowEnabled(saved))
        return 0;
    KZ_UIControl::MoveFocus(saved);
    return 1;
}
