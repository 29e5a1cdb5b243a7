#include "ui/KZ_UIWindow.h"

#include "foundation/MessageCatalog.h"
#include "foundation/ProductDefinition.h"
#include "foundation/ScopedHandle.h"
#include "ui/KZ_UIButton.h"
#include "ui/KZ_UIControl.h"
#include "ui/KZ_UIPopup.h"
#include "ui/UILayout.h"
#include "ui/UILayoutCell.h"
#include "ui/UILook.h"

#include <commctrl.h>
#include <shlobj.h>
#include <cstring>

// Deletion order. The native system sends WM_DESTROY to a parent before its children, but
// WM_NCDESTROY to the children first and to the parent last. An object is therefore deleted at
// its window's WM_NCDESTROY, not at WM_DESTROY: by the time a parent goes, every child of its
// native tree has already been deleted and has unlinked itself from the still intact parent,
// and no object of the tree is deleted while messages of the tree's destruction may still reach
// it. WM_DESTROY only runs OnDestroy and forgets the handle. Children that have no native window
// of their own (failed creation) never see WM_NCDESTROY; the parent's destructor detaches them.

namespace {

const wchar_t kClassName[] = L"KZWindow";
const DWORD kChildControlStyle = WS_CHILD | WS_VISIBLE;
// Every class of the common controls library.
const DWORD kAllCommonControls = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES |
                                 ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS |
                                 ICC_HOTKEY_CLASS | ICC_ANIMATE_CLASS;

ATOM g_classAtom = 0;
// INVALID_HANDLE_VALUE until tried; stays so when the executable has no manifest.
HANDLE g_controlsContext = INVALID_HANDLE_VALUE;
bool g_contextTried = false;

HANDLE ControlsContext()
{
    if (g_contextTried)
        return g_controlsContext;
    g_contextTried = true;
    HINSTANCE instance = ProductDefinition::GetInstance();
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    ACTCTXW context;
    ZeroMemory(&context, sizeof(context));
    context.cbSize = sizeof(context);
    context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.hModule = instance;
    context.lpResourceName = MAKEINTRESOURCEW(1); // CREATEPROCESS_MANIFEST_RESOURCE_ID
    context.lpSource = (length > 0 && length < MAX_PATH) ? path : nullptr;
    g_controlsContext = CreateActCtxW(&context);
    return g_controlsContext;
}

// The common controls are loaded here, inside the context (version 6), and not imported:
// their start-up loads the theme library by name, which may only happen once the program has
// restricted the library search to the system folder. The library stays loaded.
void StartCommonControls()
{
    HMODULE library = LoadLibraryW(L"comctl32.dll");
    FARPROC entry = library != nullptr ? GetProcAddress(library, "InitCommonControlsEx") : nullptr;
    if (entry == nullptr)
        return;
    typedef BOOL(WINAPI * InitProc)(const INITCOMMONCONTROLSEX*);
    InitProc init = reinterpret_cast<InitProc>(reinterpret_cast<void (*)()>(entry));
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = kAllCommonControls;
    init(&controls);
}

// The controls context, active while the object lives.
class ControlsContextScope {
public:
    ControlsContextScope() : cookie_(KZ_UIWindow::ActivateControlsContext()) {}
    ~ControlsContextScope() { KZ_UIWindow::DeactivateControlsContext(cookie_); }
    ControlsContextScope(const ControlsContextScope&) = delete;
    ControlsContextScope& operator=(const ControlsContextScope&) = delete;

private:
    ULONG_PTR cookie_;
};

} // namespace

ULONG_PTR KZ_UIWindow::ActivateControlsContext()
{
    HANDLE context = ControlsContext();
    ULONG_PTR cookie = 0;
    if (context != INVALID_HANDLE_VALUE && !ActivateActCtx(context, &cookie))
        cookie = 0;
    return cookie;
}

void KZ_UIWindow::DeactivateControlsContext(ULONG_PTR cookie)
{
    if (cookie != 0)
        DeactivateActCtx(0, cookie);
}

HMODULE KZ_UIWindow::LoadWindowLibrary(const wchar_t* name)
{
    // From the system folder by full path, never a file of that name beside the program; its
    // own dependencies are searched from there too.
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    const WString path = WString(system) + L"\\" + name;
    const ControlsContextScope context;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

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

KZ_UIWindow::KZ_UIWindow(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags,
                         HWND owner, DWORD windowStyle, DWORD extendedStyle)
    : styleFlags_(styleFlags), references_(1), background_(nullptr), cell_(nullptr),
      layout_(nullptr), name_(name), window_(nullptr), attached_(nullptr), drawItem_(nullptr),
      parent_(parent), nextSibling_(nullptr), previousSibling_(nullptr), lastChild_(nullptr),
      firstChild_(nullptr)
{
    if (parent_ != nullptr) {
        previousSibling_ = parent_->lastChild_;
        if (previousSibling_ != nullptr)
            previousSibling_->nextSibling_ = this;
        parent_->lastChild_ = this;
        if (parent_->firstChild_ == nullptr)
            parent_->firstChild_ = this;
    }

    ATOM atom = RegisterWindowClass();
    if (atom == 0)
        return;
    HWND nativeParent = parent_ != nullptr ? parent_->window_ : owner;
    {
        const ControlsContextScope context;
        window_ = CreateWindowExW(extendedStyle, MAKEINTATOM(atom), name_.c_str(), windowStyle,
                                  0, 0, 0, 0, nativeParent, nullptr,
                                  ProductDefinition::GetInstance(), nullptr);
    }
    if (window_ == nullptr)
        return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    attached_ = window_;
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FONT)), 0);
}

KZ_UIWindow::~KZ_UIWindow()
{
    // Deleted while the native window lives: cut the window off first, so its destruction
    // does not come back here. Native children still delete themselves meanwhile.
    if (attached_ != nullptr) {
        SetWindowLongPtrW(attached_, GWLP_USERDATA, 0);
        attached_ = nullptr;
    }
    if (window_ != nullptr) {
        HWND window = window_;
        window_ = nullptr;
        DestroyWindow(window);
    }
    // Whatever is still linked below has no native window that would end it: detach it.
    KZ_UIWindow* child = firstChild_;
    while (child != nullptr) {
        KZ_UIWindow* next = child->nextSibling_;
        child->parent_ = nullptr;
        child->nextSibling_ = nullptr;
        child->previousSibling_ = nullptr;
        child = next;
    }
    firstChild_ = nullptr;
    lastChild_ = nullptr;

    if (previousSibling_ != nullptr)
        previousSibling_->nextSibling_ = nextSibling_;
    if (nextSibling_ != nullptr)
        nextSibling_->previousSibling_ = previousSibling_;
    if (parent_ != nullptr) {
        if (parent_->firstChild_ == this)
            parent_->firstChild_ = nextSibling_;
        if (parent_->lastChild_ == this)
            parent_->lastChild_ = previousSibling_;
    }
    parent_ = nullptr;
    nextSibling_ = nullptr;
    previousSibling_ = nullptr;
    delete cell_;
    cell_ = nullptr;
    delete layout_;
    layout_ = nullptr;
    name_.Clear();
}

bool KZ_UIWindow::IsKindOf(const char* className) const
{
    return std::strcmp(className, "KZ_UIWindow") == 0 || KZ_EventListener::IsKindOf(className);
}

WString KZ_UIWindow::GetMessage(const WString& key, const WStringArray& parameters)
{
    if (GetCatalog() != nullptr || GetFallbackCatalog() != nullptr)
        return KZ_EventListener::GetMessage(key, parameters);
    if (parent_ != nullptr)
        return parent_->GetMessage(name_ + L"." + key, parameters);
    return key;
}

void KZ_UIWindow::GetPreferredSize(int* width, int* height)
{
    if (layout_ != nullptr) {
        layout_->GetPreferredSize(this, width, height);
        return;
    }
    *width = 10;
    *height = 10;
}

UILook* KZ_UIWindow::GetLook()
{
    if (parent_ != nullptr)
        return parent_->GetLook();
    return UILook::GetDefault();
}

void KZ_UIWindow::SetLook(UILook*)
{
}

int KZ_UIWindow::CanFocus()
{
    return 0;
}

void KZ_UIWindow::Focus()
{
    if (parent_ == nullptr && nextSibling_ == nullptr)
        return;
    KZ_UIWindow* candidate = nextSibling_ != nullptr ? nextSibling_ : parent_->firstChild_;
    while (candidate != nullptr && candidate != this) {
        if (candidate->CanFocus()) {
            candidate->Focus();
            return;
        }
        candidate = candidate->nextSibling_ != nullptr
                        ? candidate->nextSibling_
                        : (parent_ != nullptr ? parent_->firstChild_ : nullptr);
    }
}

void KZ_UIWindow::Paint(HDC dc, const RECT& area)
{
    FillRect(dc, &area, GetBackground());
}

void KZ_UIWindow::OnSize(int, int)
{
}

int KZ_UIWindow::OnCommand(int, int)
{
    return 0;
}

void KZ_UIWindow::OnClose()
{
}

void KZ_UIWindow::OnDestroy()
{
}

void KZ_UIWindow::Invalidate()
{
    if (window_ != nullptr)
        InvalidateRect(window_, nullptr, FALSE);
}

bool KZ_UIWindow::CanEndSession()
{
    return true;
}

void KZ_UIWindow::DropReference()
{
    if (--references_ <= 0)
        delete this;
}

void KZ_UIWindow::Release()
{
    if (window_ != nullptr) {
        // OnDestroy runs from WM_DESTROY; the object is gone when DestroyWindow returns.
        DestroyWindow(window_);
        return;
    }
    // Between WM_DESTROY and WM_NCDESTROY the native teardown already owns the end.
    if (attached_ == nullptr)
        DropReference();
}

void KZ_UIWindow::Show(bool show)
{
    if (window_ != nullptr)
        ShowWindow(window_, show ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void KZ_UIWindow::Move(int x, int y, int width, int height)
{
    if (window_ != nullptr)
        SetWindowPos(window_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (layout_ != nullptr)
        layout_->Apply(this);
}

void KZ_UIWindow::GetClientSize(int* width, int* height) const
{
    *width = 0;
    *height = 0;
    RECT client;
    if (window_ != nullptr && GetClientRect(window_, &client)) {
        *width = client.right - client.left;
        *height = client.bottom - client.top;
    }
}

void KZ_UIWindow::SetBackground(HBRUSH background)
{
    background_ = background;
    Invalidate();
}

HBRUSH KZ_UIWindow::GetBackground() const
{
    for (const KZ_UIWindow* window = this; window != nullptr; window = window->parent_) {
        if (window->background_ != nullptr)
            return window->background_;
    }
    return UILook::SystemColourBrush(COLOR_BTNFACE);
}

void KZ_UIWindow::SetLayoutCell(UILayoutCell* cell)
{
    if (cell_ != cell)
        delete cell_;
    cell_ = cell;
}

void KZ_UIWindow::SetLayout(UILayout* layout)
{
    if (layout_ != layout)
        delete layout_;
    layout_ = layout;
}

KZ_UIWindow* KZ_UIWindow::FindDefaultButton()
{
    if (IsKindOf("KZ_UIButton") && static_cast<KZ_UIButton*>(this)->IsDefault())
        return this;
    for (KZ_UIWindow* child = firstChild_; child != nullptr; child = child->nextSibling_) {
        KZ_UIWindow* found = child->FindDefaultButton();
        if (found != nullptr)
            return found;
    }
    return nullptr;
}

int KZ_UIWindow::PushDefaultButton(KZ_UIWindow* start)
{
    for (KZ_UIWindow* window = start; window != nullptr; window = window->parent_) {
        KZ_UIWindow* button = window->FindDefaultButton();
        if (button != nullptr && static_cast<KZ_UIButton*>(button)->IsEnabled()) {
            button->Publish("OnPushed");
            return 1;
        }
    }
    return 0;
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

HWND KZ_UIWindow::CreateNativeChild(const wchar_t* className, const WString& text, DWORD style,
                                    DWORD extendedStyle)
{
    if (window_ == nullptr)
        return nullptr;
    const ControlsContextScope context;
    return CreateWindowExW(extendedStyle, className, text.c_str(), style | kChildControlStyle, 0,
                           0, 0, 0, window_, nullptr, nullptr, nullptr);
}

HRESULT KZ_UIWindow::BrowseForFolder(WString* path)
{
    path->Clear();
    BROWSEINFOW browse;
    ZeroMemory(&browse, sizeof(browse));
    browse.hwndOwner = window_;
    browse.pidlRoot = nullptr;
    browse.lpszTitle = L"Select a directory...";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    ScopedCoTaskMem<ITEMIDLIST> item;
    {
        const ControlsContextScope context;
        item.reset(SHBrowseForFolderW(&browse));
    }
    wchar_t chosen[MAX_PATH];
    if (!item || !SHGetPathFromIDListW(item.get(), chosen) || chosen[0] == 0)
        return E_FAIL;
    *path = chosen;
    return S_OK;
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
        KZ_UIWindow* popup = reinterpret_cast<KZ_UIWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (popup != nullptr && popup->IsKindOf("KZ_UIPopup") &&
            static_cast<KZ_UIPopup*>(popup)->OnActivate(LOWORD(wParam) != WA_INACTIVE &&
                                                         HIWORD(wParam) == 0))
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
        if (wParam == VK_RETURN && PushDefaultButton(object))
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
