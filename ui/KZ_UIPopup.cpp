#include "ui/KZ_UIPopup.h"

#include "ui/KZ_UIControl.h"

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

void KZ_UIPopup::InstallKeyHandling()
{
    KZ_EventListener::SetKeyPreTranslator(&KZ_UIPopup::PreTranslateKey);
}

KZ_UIWindow* KZ_UIPopup::NextInTabOrder(KZ_UIWindow* window)
{
    if (window->GetFirstChild() != nullptr)
        return window->GetFirstChild();
    for (KZ_UIWindow* current = window; current != nullptr; current = current->GetParent()) {
        if (current->GetNextSibling() != nullptr)
            return current->GetNextSibling();
    }
    KZ_UIWindow* root = window;
    while (root->GetParent() != nullptr)
        root = root->GetParent();
    return root;
}

void KZ_UIPopup::TabForward(KZ_UIWindow* start)
{
    for (KZ_UIWindow* window = NextInTabOrder(start); window != nullptr && window != start;
         window = NextInTabOrder(window)) {
        if (window->GetWindow() != nullptr && IsWindowVisible(window->GetWindow()) &&
            window->CanFocus()) {
            window->Focus();
            return;
        }
    }
}

void KZ_UIPopup::TabBackward(KZ_UIWindow* start)
{
    KZ_UIWindow* parent = start->GetParent();
    KZ_UIWindow* window = start->GetPreviousSibling();
    if (window == nullptr)
        window = parent != nullptr ? parent->GetLastChild() : nullptr;
    while (window != nullptr && window != start) {
        if (window->CanFocus()) {
            window->Focus();
            return;
        }
        window = window->GetPreviousSibling();
        if (window == nullptr)
            window = parent != nullptr ? parent->GetLastChild() : nullptr;
    }
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

namespace {

// The letter after the first single "&" of a caption ("&&" is a literal "&"), or 0.
wchar_t AccessKeyOf(const wchar_t* caption)
{
    for (const wchar_t* p = caption; *p != 0; ++p) {
        if (*p != L'&')
            continue;
        if (p[1] == L'&') {
            ++p;
            continue;
        }
        return p[1];
    }
    return 0;
}

wchar_t Upper(wchar_t letter)
{
    return static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(
        CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(letter)))));
}

} // namespace

KZ_UIWindow* KZ_UIPopup::FindAccessKey(KZ_UIWindow* window, wchar_t letter)
{
    if (window == nullptr || letter == 0)
        return nullptr;
    if (window->IsKindOf("KZ_UIButton") || window->IsKindOf("KZ_UIRadioButton")) {
        HWND control = static_cast<KZ_UIControl*>(window)->GetControl();
        wchar_t caption[256];
        if (control != nullptr && IsWindowVisible(control) && IsWindowEnabled(control) &&
            GetWindowTextW(control, caption, 256) > 0) {
            wchar_t key = AccessKeyOf(caption);
            if (key != 0 && Upper(key) == Upper(letter))
                return window;
        }
    }
    for (KZ_UIWindow* child = window->GetFirstChild(); child != nullptr;
         child = child->GetNextSibling()) {
        KZ_UIWindow* found = FindAccessKey(child, letter);
        if (found != nullptr)
            return found;
    }
    return nullptr;
}

int KZ_UIPopup::PreTranslateKey(MSG* message)
{
    if (message == nullptr)
        return 0;
    if (message->message == WM_SYSCHAR) {
        // Alt + letter: the control whose caption marks the letter is pressed as a click
        // would press it: it takes the focus and publishes "OnPushed".
        KZ_UIWindow* root = FindWindowObject(message->hwnd);
        while (root != nullptr && root->GetParent() != nullptr)
            root = root->GetParent();
        KZ_UIWindow* target = FindAccessKey(root, static_cast<wchar_t>(message->wParam));
        if (target == nullptr)
            return 0;
        target->Focus();
        target->Publish("OnPushed");
        return 1;
    }
    if (message->message != WM_CHAR)
        return 0;
    KZ_UIWindow* object = FindWindowObject(message->hwnd);
    switch (message->wParam) {
    case VK_RETURN:
        return PushDefaultButton(object);
    case VK_ESCAPE:
        for (KZ_UIWindow* window = object; window != nullptr; window = window->GetParent()) {
            if (window->IsKindOf("KZ_UIPopup")) {
                SendMessageW(window->GetWindow(), WM_CLOSE, 0, 0);
                return 1;
            }
        }
        return 0;
    case VK_TAB:
        if (object == nullptr)
            return 0;
        if (GetKeyState(VK_SHIFT) < 0)
            TabBackward(object);
        else
            TabForward(object);
        return 1;
    default:
        return 0;
    }
}
