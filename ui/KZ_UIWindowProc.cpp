#include "ui/KZ_UIWindow.h"

#include "foundation/ProductDefinition.h"
#include "foundation/ScopedHandle.h"
#include "ui/UIKeyboard.h"

namespace {

const wchar_t kClassName[] = L"KZWindow";

ATOM g_classAtom = 0;

} // namespace

ATOM KZ_UIWindow::RegisterWindowClass()
{
    if (g_classAtom != 0)
        return g_classAtom;
    HINSTANCE instance = ProductDefinition::GetInstance();
    const ControlsContextScope context;
    StartCommonControls();
    WNDCLASSW windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.style = 0;
    windowClass.lpfnWndProc = &KZ_UIWindow::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, L"PROGRAMICON");
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszClassName = kClassName;
    g_classAtom = RegisterClassW(&windowClass);
    return g_classAtom;
}

KZ_UIWindow* KZ_UIWindow::FindWindowObject(HWND window)
{
    wchar_t className[260];
    for (HWND current = window; current != nullptr; current = ::GetParent(current)) {
        int length = GetClassNameW(current, className, 260);
        if (length > 0 && lstrcmpW(className, kClassName) == 0)
            return reinterpret_cast<KZ_UIWindow*>(GetWindowLongPtrW(current, GWLP_USERDATA));
    }
    return nullptr;
}

LRESULT CALLBACK KZ_UIWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    KZ_UIWindow* object = reinterpret_cast<KZ_UIWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (object == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);

    // Handlers may end the object (an event callback that releases the window): nothing below
    // touches the object after the call that could have deleted it.
    switch (message) {
    case WM_DESTROY:
        object->OnDestroy();
        object->window_ = nullptr;
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        object->attached_ = nullptr;
        object->window_ = nullptr;
        object->DropReference();
        break;
    case WM_SIZE:
        InvalidateRect(window, nullptr, FALSE);
        object->OnSize(LOWORD(lParam), HIWORD(lParam));
        object->Publish("Size");
        return 1;
    case WM_ACTIVATE: {
        object->Publish("Inactivated");
        // The subscribers may have ended the object: look it up again.
        KZ_UIWindow* still = reinterpret_cast<KZ_UIWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (still != nullptr &&
            still->OnActivate(LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0))
            return 0;
        break;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        object->Publish("Focus");
        break;
    case WM_PAINT: {
        const ScopedPaint paint(window);
        if (paint.get() != nullptr)
            object->Paint(paint.get(), paint.area());
        return 1;
    }
    case WM_CLOSE:
        object->OnClose();
        return 1;
    case WM_QUERYENDSESSION:
        if (!object->CanEndSession())
            return FALSE;
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        // A hosted radio button or push button paints the area around its text with the
        // brush its container returns: the container's background, not the system's grey.
        HBRUSH background = object->GetBackground();
        UINT_PTR value = reinterpret_cast<UINT_PTR>(background);
        if (value <= COLOR_MENUBAR + 1)
            background = GetSysColorBrush(static_cast<int>(value) - 1);
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(background);
    }
    case WM_DRAWITEM:
        if (lParam != 0) {
            const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            object->drawItem_ = item;
            object->Paint(item->hDC, item->rcItem);
            object->drawItem_ = nullptr;
        }
        return 1;
    case WM_CHAR:
        if (wParam == VK_RETURN && UIKeyboard::PushDefaultButton(object))
            return 1;
        break;
    case WM_COMMAND: {
        if (lParam == 0)
            return 1;
        int code = HIWORD(wParam);
        if (code == CBN_SETFOCUS || code == EN_SETFOCUS) {
            object->Publish("Focus");
            return 1;
        }
        if (object->OnCommand(code, LOWORD(wParam)))
            return 1;
        break;
    }
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
