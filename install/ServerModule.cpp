#include "install/ServerModule.h"

#include <comcat.h>
#include <ole2.h>

#include "install/RegistryTree.h"

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

bool CreateKey(HKEY parent, const WString& name, HKEY* key)
{
    if (RegCreateKeyW(parent, name.c_str(), key) == ERROR_SUCCESS)
        return true;
    *key = nullptr;
    return false;
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
    HKEY key = nullptr;
    if (!CreateKey(parent, name, &key))
        return false;
    const bool done = SetDefault(key, value);
    RegCloseKey(key);
    return done;
}

bool CreateEmptyKey(HKEY parent, const WString& name)
{
    HKEY key = nullptr;
    if (name.IsEmpty() || !CreateKey(parent, name, &key))
        return false;
    RegCloseKey(key);
    return true;
}

void CloseKey(HKEY key)
{
    if (key != nullptr)
        RegCloseKey(key);
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
    if (FAILED(OleInitialize(nullptr)))
        return E_FAIL;
    bool registered = false;
    // By its full path; the module's own dependencies are found beside it, not beside the
    // program.
    HMODULE module = LoadLibraryExW(path_.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (reinterpret_cast<ULONG_PTR>(module) >= 32) {
        typedef HRESULT(STDAPICALLTYPE * RegisterProc)();
        FARPROC entry = GetProcAddress(module, "DllRegisterServer");
        if (entry != nullptr) {
            RegisterProc registerServer =
                reinterpret_cast<RegisterProc>(reinterpret_cast<void (*)()>(entry));
            registered = registerServer() >= 0;
        }
        FreeLibrary(module);
    }
    OleUninitialize();
    if (!registered)
        return E_FAIL;

    // An empty ProgID would name HKEY_CLASSES_ROOT itself.
    const WString clsidText = FromGuid(clsid);
    if (clsidText.IsEmpty() || progId.IsEmpty())
        return E_FAIL;
    HKEY progKey = nullptr;
    const bool done = CreateKey(HKEY_CLASSES_ROOT, progId, &progKey) &&
                      SetDefault(progKey, description) &&
                      CreateKeyWithDefault(progKey, L"CLSID", clsidText);
    CloseKey(progKey);
    return done ? S_OK : E_FAIL;
}

HRESULT ServerModule::RegisterComClass(const GUID& clsid, const WString& description,
                                       int insertable, const WString& environmentFile)
{
    const WString clsidText = FromGuid(clsid);
    if (clsidText.IsEmpty())
        return E_FAIL;

    HKEY classes = nullptr;
    HKEY classKey = nullptr;
    HKEY server = nullptr;
    HKEY categories = nullptr;
    bool done = RegOpenKeyW(HKEY_CLASSES_ROOT, L"CLSID", &classes) == ERROR_SUCCESS;
    if (done) {
        done = CreateKey(classes, clsidText, &classKey);
        RegCloseKey(classes);
    }
    done = done && SetDefault(classKey, description);
    if (IsExecutableServer()) {
        done = done &&
               CreateKeyWithDefault(classKey, L"LocalServer32",
                                    path_ + EnvironmentPart(environmentFile)) &&
               CreateKeyWithDefault(classKey, L"InprocHandler32", L"ole32.dll");
    } else {
        static const wchar_t kApartment[] = L"Apartment";
        done = done && CreateKey(classKey, L"InprocServer32", &server) &&
               SetDefault(server, path_) &&
               RegSetValueExW(server, L"ThreadingModel", 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(kApartment),
                              (sizeof(kApartment) / sizeof(wchar_t) - 1) * sizeof(wchar_t)) ==
                   ERROR_SUCCESS;
    }
    done = done && CreateKey(classKey, L"Implemented Categories", &categories) &&
           CreateEmptyKey(categories, FromGuid(kCategorySafeForScripting)) &&
           CreateEmptyKey(categories, FromGuid(kCategorySafeForInitialising));
    CloseKey(categories);
    CloseKey(server);
    CloseKey(classKey);
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
    HKEY classes = nullptr;
    if (clsidText.IsEmpty() || RegOpenKeyW(HKEY_CLASSES_ROOT, L"CLSID", &classes) != ERROR_SUCCESS)
        return E_FAIL;
    HKEY classKey = nullptr;
    const LONG status = RegOpenKeyW(classes, clsidText.c_str(), &classKey);
    RegCloseKey(classes);
    if (status != ERROR_SUCCESS)
        return E_FAIL;
    const bool done = CreateEmptyKey(classKey, L"Insertable");
    RegCloseKey(classKey);
    return done ? S_OK : E_FAIL;
}

HRESULT ServerModule::UnregisterComClass(const GUID& clsid)
{
    HKEY classes = nullptr;
    if (RegOpenKeyW(HKEY_CLASSES_ROOT, L"CLSID", &classes) != ERROR_SUCCESS)
        return E_FAIL;
    const HRESULT result = DeleteRegistryTree(classes, FromGuid(clsid));
    RegCloseKey(classes);
    return result == S_OK ? S_OK : E_FAIL;
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

    HKEY progKey = nullptr;
    HKEY shell = nullptr;
    HKEY open = nullptr;
    const bool done =
        CreateKey(HKEY_CLASSES_ROOT, progId, &progKey) && SetDefault(progKey, description) &&
        CreateKeyWithDefault(progKey, L"CLSID", clsidText) &&
        CreateKeyWithDefault(progKey, L"DefaultIcon", iconFile + L",0") &&
        CreateKey(progKey, L"shell", &shell) && CreateKey(shell, L"open", &open) &&
        CreateKeyWithDefault(open, L"command",
                             program + L" \"%1\"" + EnvironmentPart(environmentFile)) &&
        CreateKeyWithDefault(HKEY_CLASSES_ROOT, extension, progId);
    CloseKey(open);
    CloseKey(shell);
    CloseKey(progKey);
    return done ? S_OK : E_FAIL;
}

HRESULT ServerModule::RegisterClassCategory(const GUID& clsid, const GUID& categoryId)
{
    ICatRegister* categories = nullptr;
    if (FAILED(CoCreateInstance(kStdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                kCatRegister, reinterpret_cast<void**>(&categories))) ||
        categories == nullptr)
        return E_FAIL;
    CATID category = categoryId;
    const HRESULT result = categories->RegisterClassImplCategories(clsid, 1, &category);
    categories->Release();
    return result;
}
