#include "ui/UIKeyboard.h"

#include "ui/KZ_UIWindow.h"

namespace {

wchar_t Upper(wchar_t letter)
{
    return static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(
        CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(letter)))));
}

} // namespace

int UIKeyboard::PushDefaultButton(KZ_UIWindow* start)
{
    for (KZ_UIWindow* window = start; window != nullptr; window = window->GetParent()) {
        KZ_UIWindow* button = window->FindDefaultButton();
        if (button != nullptr && button->CanFocus()) {
            button->Publish("OnPushed");
            return 1;
        }
    }
    return 0;
}

KZ_UIWindow* UIKeyboard::NextInTabOrder(KZ_UIWindow* window)
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

void UIKeyboard::TabForward(KZ_UIWindow* start)
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

void UIKeyboard::TabBackward(KZ_UIWindow* start)
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

KZ_UIWindow* UIKeyboard::FindAccessKey(KZ_UIWindow* window, wchar_t letter)
{
    if (window == nullptr || letter == 0)
        return nullptr;
    const wchar_t key = window->GetAccessKey();
    if (key != 0 && Upper(key) == Upper(letter))
        return window;
    for (KZ_UIWindow* child = window->GetFirstChild(); child != nullptr;
         child = child->GetNextSibling()) {
        KZ_UIWindow* found = FindAccessKey(child, letter);
        if (found != nullptr)
            return found;
    }
    return nullptr;
}

int UIKeyboard::PreTranslateKey(MSG* message)
{
    if (message == nullptr)
        return 0;
    if (message->message == WM_SYSCHAR) {
        // Alt + letter: the control whose caption marks the letter is pressed as a click
        // would press it: it takes the focus and publishes "OnPushed".
        KZ_UIWindow* root = KZ_UIWindow::FindWindowObject(message->hwnd);
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
    KZ_UIWindow* object = KZ_UIWindow::FindWindowObject(message->hwnd);
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
