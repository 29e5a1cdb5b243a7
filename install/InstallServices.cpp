#include "install/InstallServices.h"

#include <cwchar>
#include <memory>
#include <new>
#include <sddl.h>
#include <shlobj.h>

#include "archive/DirectoryPath.h"
#include "foundation/PathText.h"
#include "foundation/PlatformError.h"
#include "foundation/ProductConstants.h"
#include "foundation/ProductDefinition.h"
#include "foundation/RegistryText.h"
#include "install/RegistryTree.h"

namespace {

using Product::kUninstallKey;

WString& DisplayNameValue()
{
    static WString value;
    return value;
}

WString& KeyNameValue()
{
    static WString value;
    return value;
}

WString ProductKeyPath(const WString& keyName)
{
    WString path(kUninstallKey);
    path += L"\\";
    path += keyName;
    return path;
}

// A text value into text (unchanged on failure), at most capacity characters.
template <int capacity>
LONG QueryText(HKEY key, const wchar_t* name, WString& text)
{
    wchar_t buffer[capacity + 1];
    const LONG status = ReadRegistryText(key, name, buffer, capacity + 1);
    if (status == ERROR_SUCCESS)
        text = WString(buffer);
    return status;
}

// A REG_SZ value of the product's entry, up to MAX_PATH characters; records the failure.
HRESULT ReadProductText(const wchar_t* name, WString& text)
{
    const WString path = InstallServices::GetProductKeyPath();
    ScopedRegKey key;
    LONG status = OpenRegistryKey(HKEY_LOCAL_MACHINE, path.c_str(), key);
    if (status != ERROR_SUCCESS) {
        RecordRegistryError(status, L"RegOpenKey", path);
        return E_FAIL;
    }
    status = QueryText<260>(key.get(), name, text);
    if (status != ERROR_SUCCESS) {
        RecordRegistryError(status, L"RegQueryValueEx", path + L"." + name);
        return E_FAIL;
    }
    return S_OK;
}

LONG SetTextValue(HKEY key, const wchar_t* name, const WString& text)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.Length()) * sizeof(wchar_t));
}

LONG SetDwordValue(HKEY key, const wchar_t* name, DWORD value)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value));
}

// Full control for Administrators and SYSTEM, inherited by the files inside; protected, so
// nothing of the parent's entries (Users may create there) comes in.
const wchar_t kAdministratorsAndSystemOnly[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

// A new folder <Windows>\Temp\{GUID} that only Administrators and SYSTEM can write, made
// with that descriptor (never loosened afterwards). The Windows folder's Temp lets users
// create entries but not rename or delete another's, unlike their own temporary folder: an
// unelevated program can neither leave a library in the folder, nor replace the copy, nor
// move the folder away. Empty when it cannot be made (an existing folder is never used).
WString CreatePrivateFolder()
{
    wchar_t windows[MAX_PATH];
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    GUID guid;
    if (length == 0 || length >= MAX_PATH || FAILED(CoCreateGuid(&guid)))
        return WString();
    WString folder(windows, static_cast<int>(length));
    if (!PathText::IsSeparator(folder[folder.Length() - 1]))
        folder += L"\\";
    folder += L"Temp\\" + FromGuid(guid);
    ScopedLocalMemory<PSECURITY_DESCRIPTOR> descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsAndSystemOnly, SDDL_REVISION_1,
                                                              descriptor.put(), nullptr))
        return WString();
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
    return CreateDirectoryW(folder.c_str(), &attributes) ? folder : WString();
}

// The uninstaller's copy in a private folder of its own; both go with the object, and at the
// next restart should the setup be killed while the copy runs.
class PrivateProgramCopy {
public:
    // Path() stays empty when the folder or the copy cannot be made; no folder is left then.
    explicit PrivateProgramCopy(const WString& program) : folder_(CreatePrivateFolder())
    {
        if (folder_.IsEmpty())
            return;
        const WString copy = folder_ + L"\\" + (program.c_str() + PathText::LastSeparator(program.c_str()) + 1);
        if (CopyFileW(program.c_str(), copy.c_str(), TRUE)) {
            copy_ = copy;
            // Delayed operations run in the order given: the file, then its emptied folder.
            MoveFileExW(copy_.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
            MoveFileExW(folder_.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
            return;
        }
        DeleteFileW(copy.c_str());
        RemoveDirectoryW(folder_.c_str());
        folder_.Clear();
    }
    // A process that has just ended may still hold its image for a moment; a copy that stays
    // in use (a child of the uninstaller runs from it) goes at the next restart, as marked.
    ~PrivateProgramCopy()
    {
        if (copy_.IsEmpty())
            return;
        bool deleted = false;
        for (int attempt = 0; !deleted && attempt < 20; ++attempt) {
            deleted = DeleteFileW(copy_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
            if (!deleted)
                Sleep(50);
        }
        if (deleted)
            RemoveDirectoryW(folder_.c_str());
    }
    const WString& Path() const { return copy_; }
    const WString& Folder() const { return folder_; }

private:
    PrivateProgramCopy(const PrivateProgramCopy&) = delete;
    PrivateProgramCopy& operator=(const PrivateProgramCopy&) = delete;

    WString folder_;
    WString copy_;
};

} // namespace

InstallServices::InstallServices(const WString& displayName, const WString& keyName,
                                 HINSTANCE instance, KZ_EventListener* owner)
    : owner_(owner), instance_(instance)
{
    DisplayNameValue() = displayName;
    KeyNameValue() = keyName;
}

InstallServices::InstallServices(const WString& name, HINSTANCE instance, KZ_EventListener* owner)
    : owner_(owner), instance_(instance)
{
    DisplayNameValue() = name;
    KeyNameValue() = name;
}

const WString& InstallServices::GetDisplayName()
{
    return DisplayNameValue();
}

const WString& InstallServices::GetKeyName()
{
    return KeyNameValue();
}

WString InstallServices::GetProductKeyPath()
{
    return ProductKeyPath(KeyNameValue());
}

HRESULT InstallServices::RegisterInstall(const WString& installLocation,
                                         const WString& uninstallerPath, const WString& version)
{
    const WString path = GetProductKeyPath();
    ScopedRegKey uninstallKey;
    LONG status = OpenRegistryKey(HKEY_LOCAL_MACHINE, kUninstallKey, uninstallKey);
    if (status != ERROR_SUCCESS) {
        RecordRegistryError(status, L"RegOpenKey", kUninstallKey);
        return E_FAIL;
    }
    ScopedRegKey productKey;
    status = CreateRegistryKey(uninstallKey.get(), KeyNameValue().c_str(), productKey);
    if (status != ERROR_SUCCESS) {
        RecordRegistryError(status, L"RegCreateKey", path);
        return E_FAIL;
    }
    uninstallKey.reset();

    const WString icon = uninstallerPath + L",0";
    // Windows starts UninstallString as a command line (Apps & Features): a bare path with
    // blanks would be read as "C:\Program.exe" first.
    const WString command = uninstallerPath.IsEmpty() ? uninstallerPath : L"\"" + uninstallerPath + L"\"";
    struct Value {
        const wchar_t* name;
        const WString* text;    // null: the DWORD 1
    };
    const Value values[] = {
        {L"DisplayName", &DisplayNameValue()},
        {L"DisplayIcon", &icon},
        {L"UninstallString", &command},
        {L"InstallLocation", &installLocation},
        {L"NoModify", nullptr},
        {L"NoRepair", nullptr},
        {L"DisplayVersion", &version},
    };
    // An empty version leaves the DisplayVersion of an earlier install as it was.
    const int count = version.IsEmpty() ? 6 : 7;
    for (int i = 0; i < count; ++i) {
        status = values[i].text != nullptr
                     ? SetTextValue(productKey.get(), values[i].name, *values[i].text)
                     : SetDwordValue(productKey.get(), values[i].name, 1);
        if (status != ERROR_SUCCESS) {
            RecordRegistryError(status, L"RegSetValueEx", path + L"." + values[i].name);
            return E_FAIL;
        }
    }
    return S_OK;
}

HRESULT InstallServices::GetInstallPath(WString& location)
{
    location.Clear();
    WString text;
    if (ReadProductText(L"InstallLocation", text) != S_OK)
        return E_FAIL;
    location = text;
    return S_OK;
}

HRESULT InstallServices::GetInstalledVersion(WString& version)
{
    version.Clear();
    const WString path = ProductKeyPath(ProductDefinition::GetRegistryKeyName());
    ScopedRegKey key;
    if (OpenRegistryKey(HKEY_LOCAL_MACHINE, path.c_str(), key) != ERROR_SUCCESS)
        return E_FAIL;
    // A missing or over-long value is no failure once the key exists.
    QueryText<128>(key.get(), L"DisplayVersion", version);
    return S_OK;
}

void InstallServices::CreateDirectoryPath(const WString& path)
{
    ::CreateDirectoryPath(path);
}

HRESULT InstallServices::CreateProgramMenuFolder(WString& folder, WString subfolder)
{
    folder.Clear();
    wchar_t programs[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, programs, CSIDL_COMMON_PROGRAMS, FALSE) ||
        programs[0] == 0)
        return E_FAIL;

    WString path(programs);
    if (!PathText::IsSeparator(path[path.Length() - 1]))
        path += L"\\";
    path += DisplayNameValue();
    CreateDirectoryW(path.c_str(), nullptr);
    path += L"\\";
    if (!subfolder.IsEmpty()) {
        path += subfolder;
        CreateDirectoryW(path.c_str(), nullptr);
        path += L"\\";
    }
    folder = path;
    return S_OK;
}

HRESULT InstallServices::GetTempDirectory(WString& folder)
{
    folder.Clear();
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, buffer);
    if (length == 0 || length >= MAX_PATH) {
        if (length == 0)
            PlatformError::SetSystemError();
        else
            PlatformError::SetSystemError(ERROR_INSUFFICIENT_BUFFER);
        PlatformError::AddContext(nullptr, L"GetTempPath");
        return E_FAIL;
    }
    folder = WString(buffer, static_cast<int>(length));
    return S_OK;
}

HRESULT InstallServices::RunUninstaller(const wchar_t* commandLine)
{
    WString registered;
    if (ReadProductText(L"UninstallString", registered) != S_OK)
        return E_FAIL;
    // Registered in quotation marks, or bare by an earlier installation.
    wchar_t command[261];
    lstrcpynW(command, registered.c_str(), 261);
    WString program(PathText::CommandProgram(command));

    // CreateProcessW may write into the command line: it gets a private copy.
    std::unique_ptr<wchar_t[]> arguments;
    if (commandLine != nullptr) {
        const size_t length = wcslen(commandLine);
        arguments.reset(new (std::nothrow) wchar_t[length + 1]);
        if (!arguments) {
            PlatformError::SetError(nullptr, L"OutOfMemory");
            return E_FAIL;
        }
        wmemcpy(arguments.get(), commandLine, length + 1);
    }

    STARTUPINFOW startup;
    GetStartupInfoW(&startup);

    // The uninstaller removes the installed files, its own among them: it runs from a copy in
    // a fresh folder of its own, which is also its current folder (the setup's may be a
    // download folder), and which goes once the wait has ended. Without that folder, or
    // without the copy, the registered uninstaller itself runs.
    const PrivateProgramCopy copy(program);
    const wchar_t* folder = nullptr;
    if (!copy.Path().IsEmpty()) {
        program = copy.Path();
        folder = copy.Folder().c_str();
    }

    PROCESS_INFORMATION process = {};
    HRESULT result = E_FAIL;
    if (!CreateProcessW(program.c_str(), arguments.get(), nullptr, nullptr, TRUE, 0, nullptr,
                        folder, &startup, &process)) {
        PlatformError::SetSystemError();
        PlatformError::AddContext(nullptr, L"CreateProcess", KeyNameValue());
    } else {
        const ScopedKernelHandle processHandle(process.hProcess);
        const ScopedKernelHandle threadHandle(process.hThread);
        if (WaitForSingleObject(processHandle.get(), INFINITE) == WAIT_OBJECT_0)
            result = S_OK;
    }
    return result;
}
