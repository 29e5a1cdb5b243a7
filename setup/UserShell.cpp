#include "setup/UserShell.h"

#include "foundation/ScopedHandle.h"

#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>

namespace {

// OLE automation's text functions, loaded from the system folder when first needed: an import
// would be resolved before the search restriction, from setup.exe's own folder first where
// that library is not a known one.
class Automation {
public:
    Automation()
        : module_(LoadLibraryExW(L"oleaut32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)),
          alloc_(reinterpret_cast<AllocFunction>(Find("SysAllocString"))),
          free_(reinterpret_cast<FreeFunction>(Find("SysFreeString")))
    {
    }
    bool Loaded() const { return alloc_ != nullptr && free_ != nullptr; }
    BSTR Alloc(const wchar_t* text) const { return alloc_(text); }
    void Free(BSTR text) const { free_(text); }

private:
    using AllocFunction = BSTR(WINAPI*)(const OLECHAR*);
    using FreeFunction = void(WINAPI*)(BSTR);
    // Through the empty function type, which converts to any other without a warning.
    void (*Find(const char* name) const)()
    {
        return module_ ? reinterpret_cast<void (*)()>(GetProcAddress(module_.get(), name)) : nullptr;
    }

    ScopedModule module_;
    AllocFunction alloc_;
    FreeFunction free_;
};

// A BSTR, freed by the library that made it.
class ScopedBstr {
public:
    ScopedBstr(const Automation& automation, const wchar_t* text) : automation_(automation), text_(automation.Alloc(text)) {}
    ~ScopedBstr()
    {
        if (text_ != nullptr)
            automation_.Free(text_);
    }
    explicit operator bool() const { return text_ != nullptr; }
    BSTR get() const { return text_; }

private:
    ScopedBstr(const ScopedBstr&) = delete;
    ScopedBstr& operator=(const ScopedBstr&) = delete;
    const Automation& automation_;
    BSTR text_;
};

// An empty VARIANT (what VariantInit makes), without the automation library.
VARIANT EmptyVariant()
{
    VARIANT value;
    ZeroMemory(&value, sizeof(value));
    value.vt = VT_EMPTY;
    return value;
}

// A VARIANT that refers to text owned elsewhere: nothing to clear.
VARIANT TextVariant(BSTR text)
{
    VARIANT value = EmptyVariant();
    value.vt = VT_BSTR;
    value.bstrVal = text;
    return value;
}

// The desktop window's shell dispatch object (IShellDispatch2), reached from the running
// shell's window list: the desktop's browser, its active view, the view's background object
// and that object's application.
HRESULT DesktopShellDispatch(ScopedComPtr<IShellDispatch2>& shell)
{
    ScopedComPtr<IShellWindows> windows;
    HRESULT hr = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                  windows.putVoid());
    if (FAILED(hr))
        return hr;
    VARIANT location = EmptyVariant();
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT root = EmptyVariant();
    long window = 0;
    ScopedComPtr<IDispatch> desktop;
    hr = windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.put());
    // S_FALSE: no desktop window is registered (no shell running).
    if (hr != S_OK || !desktop)
        return FAILED(hr) ? hr : E_FAIL;

    ScopedComPtr<IServiceProvider> services;
    ScopedComPtr<IShellBrowser> browser;
    ScopedComPtr<IShellView> view;
    ScopedComPtr<IDispatch> background;
    ScopedComPtr<IShellFolderViewDual> folderView;
    ScopedComPtr<IDispatch> application;
    hr = desktop->QueryInterface(IID_IServiceProvider, services.putVoid());
    if (SUCCEEDED(hr))
        hr = services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.putVoid());
    if (SUCCEEDED(hr))
        hr = browser->QueryActiveShellView(view.put());
    if (SUCCEEDED(hr))
        hr = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.putVoid());
    if (SUCCEEDED(hr))
        hr = background->QueryInterface(IID_IShellFolderViewDual, folderView.putVoid());
    if (SUCCEEDED(hr))
        hr = folderView->get_Application(application.put());
    if (SUCCEEDED(hr))
        hr = application->QueryInterface(IID_IShellDispatch2, shell.putVoid());
    return SUCCEEDED(hr) && !shell ? E_FAIL : hr;
}

} // namespace

HRESULT UserShell::OpenThroughDesktop(const WString& document, const WString& folder, int show)
{
    ScopedComPtr<IShellDispatch2> shell;
    HRESULT hr = DesktopShellDispatch(shell);
    if (FAILED(hr))
        return hr;
    const Automation automation;
    if (!automation.Loaded())
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    const ScopedBstr file(automation, document.c_str());
    const ScopedBstr directory(automation, folder.c_str());
    const ScopedBstr verb(automation, L"open");
    if (!file || !directory || !verb)
        return E_OUTOFMEMORY;
    VARIANT arguments = EmptyVariant();
    VARIANT showValue = EmptyVariant();
    showValue.vt = VT_I4;
    showValue.lVal = show;
    return shell->ShellExecute(file.get(), arguments, TextVariant(directory.get()), TextVariant(verb.get()),
                               showValue);
}

bool UserShell::IsElevated()
{
    ScopedKernelHandle token;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
        !GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size))
        return true;
    return elevation.TokenIsElevated != 0;
}

HRESULT UserShell::OpenDocument(HWND owner, const WString& document, const WString& folder, int show)
{
    const HRESULT hr = OpenThroughDesktop(document, folder, show);
    if (SUCCEEDED(hr))
        return hr;
    // Without the desktop shell (another shell, none at all), a setup that runs as the user
    // opens the document itself; an elevated one does not hand its rights to the browser.
    // The guide stays one click away in the Start menu.
    if (IsElevated())
        return hr;
    const HINSTANCE started = ShellExecuteW(owner, L"open", document.c_str(), nullptr, folder.c_str(), show);
    return reinterpret_cast<INT_PTR>(started) > 32 ? S_OK : E_FAIL;
}
