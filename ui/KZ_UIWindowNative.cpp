#include "ui/KZ_UIWindow.h"

#include "foundation/ProductDefinition.h"
#include "foundation/ScopedHandle.h"

#include <commctrl.h>
#include <shlobj.h>

namespace {

const DWORD kChildControlStyle = WS_CHILD | WS_VISIBLE;
// Every class of the common controls library.
const DWORD kAllCommonControls = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES |
                                 ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS |
                                 ICC_HOTKEY_CLASS | ICC_ANIMATE_CLASS;

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

} // namespace

// The common controls are loaded here, inside the context (version 6), and not imported:
// their start-up loads the theme library by name, which may only happen once the program has
// restricted the library search to the system folder. The library stays loaded.
void KZ_UIWindow::StartCommonControls()
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
