#include "setup/UserShell.h"

#include "foundation/ScopedHandle.h"

#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>

namespace {

// A BSTR of SysAllocString, freed with it.
struct BstrTraits {
    using Handle = BSTR;
    static BSTR Invalid() { return nullptr; }
    static bool Close(BSTR text)
    {
        SysFreeString(text);
        return true;
    }
};
using ScopedBstr = ScopedHandle<BstrTraits>;

// A VARIANT that refers to text owned elsewhere: nothing to clear.
VARIANT TextVariant(BSTR text)
{
    VARIANT value;
    VariantInit(&value);
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
    VARIANT location;
    VariantInit(&location);
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT root;
    VariantInit(&root);
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
    const ScopedBstr file(SysAllocString(document.c_str()));
    const ScopedBstr directory(SysAllocString(folder.c_str()));
    const ScopedBstr verb(SysAllocString(L"open"));
    if (!file || !directory || !verb)
        return E_OUTOFMEMORY;
    VARIANT arguments;
    VariantInit(&arguments);
    VARIANT showValue;
    VariantInit(&showValue);
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
