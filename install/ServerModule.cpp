#include "install/ServerModule.h"

#include <comcat.h>
#include <ole2.h>

#include "foundation/PlatformError.h"
#include "install/RegistryTree.h"

#include <cwchar>

const GUID kCategorySafeForScripting = {
    0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
const GUID kCategorySafeForInitialising = {
    0x7DD95802, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};

namespace {

// The system's standard component category manager and its registration interface.
const CLSID kStdComponentCategoriesMgr = {
    0x0002E005, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kCatRegister = {
    0x0002E012, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

bool CreateKey(HKEY parent, const WString& name, ScopedRegKey& key)
{
    return CreateRegistryKey(parent, name.c_str(), key) == ERROR_SUCCESS;
}

bool OpenKey(HKEY parent, const wchar_t* name, ScopedRegKey& key)
{
    return OpenRegistryKey(parent, name, key) == ERROR_SUCCESS;
}

// RegSetValueW measures the text itself and always stores its terminator; the size passed
// is the documented one, the text's bytes without it.
bool SetDefault(HKEY key, const WString& value)
{
    return RegSetValueW(key, nullptr, REG_SZ, value.c_str(),
                        static_cast<DWORD>(value.Length()) * sizeof(wchar_t)) == ERROR_SUCCESS;
}

bool CreateKeyWithDefault(HKEY parent, const WString& name, const WString& value)
{
    ScopedRegKey key;
    return CreateKey(parent, name, key) && SetDefault(key.get(), value);
}

bool CreateEmptyKey(HKEY parent, const WString& name)
{
    ScopedRegKey key;
    return !name.IsEmpty() && CreateKey(parent, name, key);
}

// An HRESULT as Windows tools print it, 0x80040201.
WString HresultText(HRESULT result)
{
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(result));
    return WString(text);
}

// Loads the module by its full path and calls its DllRegisterServer; the module's own
// dependencies are found beside it, not beside the program. A failure records why, with the
// module's path: the system's reason for the load or the missing export, or the HRESULT the
// module returned.
bool CallRegisterEntry(const WString& path)
{
    const ScopedModule module(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (reinterpret_cast<ULONG_PTR>(module.get()) < 32) {
        PlatformError::SetSystemError();
        PlatformError::AddContext(nullptr, L"LoadLibrary", path);
        return false;
    }
    typedef HRESULT(STDAPICALLTYPE * RegisterProc)();
    const FARPROC entry = GetProcAddress(module.get(), "DllRegisterServer");
    if (entry == nullptr) {
        PlatformError::SetSystemError();
        WStringArray parameters;
        parameters.Append(path);
        parameters.Append(L"DllRegisterServer");
        PlatformError::AddContext(nullptr, L"GetProcAddress", parameters);
        return false;
    }
    const RegisterProc registerServer =
        reinterpret_cast<RegisterProc>(reinterpret_cast<void (*)()>(entry));
    const HRESULT result = registerServer();
    if (result < 0) {
        // Most module-defined codes have no system text; the context line carries the number.
        PlatformError::SetSystemError(static_cast<DWORD>(result));
        WStringArray parameters;
        parameters.Append(path);
        parameters.Append(HresultText(result));
        PlatformError::AddContext(nullptr, L"DllRegisterServer", parameters);
        return false;
    }
    return true;
}

// The program's path in quotation marks: a path with blanks ("C:\Program Files\...") left bare
// is read by Windows as "C:\Program.exe" first, then "C:\Program Files\Kaze.exe" and so on, and
// whoever can write such a file gets it started in the program's place.
WString QuotedPath(const WString& path)
{
    return L"\"" + path + L"\"";
}

// ` -env "<file>"`, or nothing when no environment file is given.
WString EnvironmentPart(const WString& environmentFile)
{
    if (environmentFile.IsEmpty())
        return WString();
    return L" -env \"" + environmentFile + L"\"";
}

} // namespace

ServerModule::ServerModule(const WString& path) : path_(path)
{
}

ServerModule::~ServerModule()
{
}

bool ServerModule::IsExecutableServer() const
{
    return path_.Find(L".exe") >= 0;
}

HRESULT ServerModule::RegisterServer(const GUID& clsid, const WString& progId,
                                     const WString& description)
{
    const HRESULT ole = OleInitialize(nullptr);
    if (FAILED(ole)) {
        PlatformError::SetSystemError(static_cast<DWORD>(ole));
        PlatformError::AddContext(nullptr, L"OleInitialize", path_);
        return E_FAIL;
    }
    const bool registered = CallRegisterEntry(path_);
    OleUninitialize();
    if (!registered)
        return E_FAIL;

    // An empty ProgID would name HKEY_CLASSES_ROOT itself.
    const WString clsidText = FromGuid(clsid);
    if (clsidText.IsEmpty() || progId.IsEmpty())
        return E_FAIL;
    ScopedRegKey progKey;
    const bool done = CreateKey(HKEY_CLASSES_ROOT, progId, progKey) &&
                      SetDefault(progKey.get(), description) &&
                      CreateKeyWithDefault(progKey.get(), L"CLSID", clsidText);
    return done ? S_OK : E_FAIL;
}

HRESULT ServerModule::RegisterComClass(const GUID& clsid, const WString& description,
                                       int insertable, const WString& environmentFile)
{
    const WString clsidText = FromGuid(clsid);
    if (clsidText.IsEmpty())
        return E_FAIL;

    ScopedRegKey classKey;
    {
        ScopedRegKey classes;
        if (!OpenKey(HKEY_CLASSES_ROOT, L"CLSID", classes) ||
            !CreateKey(classes.get(), clsidText, classKey))
            return E_FAIL;
    }
    bool done = SetDefault(classKey.get(), description);
    if (IsExecutableServer()) {
        done = done &&
               CreateKeyWithDefault(classKey.get(), L"LocalServer32",
                                    QuotedPath(path_) + EnvironmentPart(environmentFile)) &&
               CreateKeyWithDefault(classKey.get(), L"InprocHandler32", L"ole32.dll");
    } else {
        static const wchar_t kApartment[] = L"Apartment";
        ScopedRegKey server;
        done = done && CreateKey(classKey.get(), L"InprocServer32", server) &&
               SetDefault(server.get(), path_) &&
               RegSetValueExW(server.get(), L"ThreadingModel", 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(kApartment),
                              (sizeof(kApartment) / sizeof(wchar_t) - 1) * sizeof(wchar_t)) ==
                   ERROR_SUCCESS;
    }
    ScopedRegKey categories;
    done = done && CreateKey(classKey.get(), L"Implemented Categories", categories) &&
           CreateEmptyKey(categories.get(), FromGuid(kCategorySafeForScripting)) &&
           CreateEmptyKey(categories.get(), FromGuid(kCategorySafeForInitialising));
    categories.reset();
    classKey.reset();
    if (!done)
        return E_FAIL;

    // A class that cannot be marked insertable is not left half-registered.
    if (insertable != 0 && MarkInsertable(clsid) != S_OK) {
        UnregisterComClass(clsid);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT ServerModule::MarkInsertable(const GUID& clsid)
{
    // An empty class text would open CLSID itself.
    const WString clsidText = FromGuid(clsid);
    ScopedRegKey classKey;
    {
        ScopedRegKey classes;
        if (clsidText.IsEmpty() || !OpenKey(HKEY_CLASSES_ROOT, L"CLSID", classes) ||
            !OpenKey(classes.get(), clsidText.c_str(), classKey))
            return E_FAIL;
    }
    return CreateEmptyKey(classKey.get(), L"Insertable") ? S_OK : E_FAIL;
}

HRESULT ServerModule::UnregisterComClass(const GUID& clsid)
{
    ScopedRegKey classes;
    if (!OpenKey(HKEY_CLASSES_ROOT, L"CLSID", classes))
        return E_FAIL;
    return DeleteRegistryTree(classes.get(), FromGuid(clsid)) == S_OK ? S_OK : E_FAIL;
}

HRESULT ServerModule::RegisterFileType(const GUID& clsid, const WString& progId,
                                       const WString& extension, const WString& description,
                                       const WString& iconFile, const WString& program,
                                       const WString& environmentFile)
{
    // Empty names would write into HKEY_CLASSES_ROOT itself.
    const WString clsidText = FromGuid(clsid);
    if (clsidText.IsEmpty() || progId.IsEmpty() || extension.IsEmpty())
        return E_FAIL;

    ScopedRegKey progKey;
    ScopedRegKey shell;
    ScopedRegKey open;
    const bool done =
        CreateKey(HKEY_CLASSES_ROOT, progId, progKey) && SetDefault(progKey.get(), description) &&
        CreateKeyWithDefault(progKey.get(), L"CLSID", clsidText) &&
        CreateKeyWithDefault(progKey.get(), L"DefaultIcon", iconFile + L",0") &&
        CreateKey(progKey.get(), L"shell", shell) && CreateKey(shell.get(), L"open", open) &&
        CreateKeyWithDefault(open.get(), L"command",
                             QuotedPath(program) + L" \"%1\"" + EnvironmentPart(environmentFile)) &&
        CreateKeyWithDefault(HKEY_CLASSES_ROOT, extension, progId);
    return done ? S_OK : E_FAIL;
}

HRESULT ServerModule::RegisterClassCategory(const GUID& clsid, const GUID& categoryId)
{
    ScopedComPtr<ICatRegister> categories;
    if (FAILED(CoCreateInstance(kStdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                kCatRegister, categories.putVoid())) ||
        !categories)
        return E_FAIL;
    CATID category = categoryId;
    return categories->RegisterClassImplCategories(clsid, 1, &category);
}
