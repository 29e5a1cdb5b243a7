#include "tests/e2e/InstallCleanup.h"

#include "foundation/Platform.h"

#include "tests/e2e/DriverLog.h"
#include "tests/e2e/FileProbe.h"
#include "tests/e2e/InstallCheck.h"
#include "tests/e2e/ProductFacts.h"
#include "tests/e2e/RegistryProbe.h"
#include "tests/e2e/SetupProcess.h"
#include "tests/e2e/SetupView.h"

bool InstallCleanup::IsInstalled()
{
    return RegistryProbe::KeyExists(SetupView::Registry(), HKEY_LOCAL_MACHINE, ProductFacts::kUninstallKey);
}

bool InstallCleanup::RunInstalledUninstaller()
{
    std::wstring uninstaller;
    // In quotation marks, or bare as earlier setups wrote it.
    if (!RegistryProbe::ReadString(SetupView::Registry(), HKEY_LOCAL_MACHINE, ProductFacts::kUninstallKey, L"UninstallString", &uninstaller) ||
        !FileProbe::IsFile(uninstaller = uninstaller.substr(uninstaller[0] == L'"', uninstaller.find(L'"', 1) - 1)))
        return false;
    // From a copy, as the setup does: the uninstaller removes its own folder.
    const std::wstring copy = FileProbe::TempFolder() + L"\\kz-e2e-uninstall-" +
                              std::to_wstring(GetCurrentProcessId()) + L".exe";
    if (!CopyFileW(uninstaller.c_str(), copy.c_str(), FALSE))
        return false;
    SetupProcess process;
    bool ended = false;
    DWORD code = 0;
    if (process.Start(copy, L"/Uninstall"))
        ended = process.WaitForExit(60000, &code);
    process.Kill();
    DeleteFileW(copy.c_str());
    return ended;
}

void InstallCleanup::RemoveLeftovers()
{
    struct Key {
        HKEY root;
        std::wstring path;
    };
    const Key keys[] = {
        {HKEY_LOCAL_MACHINE, ProductFacts::kUninstallKey},
        {HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + ProductFacts::kServerClass},
        {HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + ProductFacts::kControlClass},
        {HKEY_CLASSES_ROOT, ProductFacts::kProgId},
        {HKEY_CLASSES_ROOT, ProductFacts::kControlProgId},
    };
    // Both views: a run that wrote the wrong one must not leave its keys to the next.
    for (REGSAM view : {SetupView::Registry(), SetupView::OtherRegistry()}) {
        for (const Key& key : keys) {
            if (RegistryProbe::KeyExists(view, key.root, key.path)) {
                DriverLog::Info("removing left-over key %s", DriverLog::Utf8(key.path).c_str());
                RegistryProbe::DeleteTree(view, key.root, key.path);
            }
        }
    }
    // Extensions only while they are still bound to the product.
    for (const wchar_t* extension : {L".orlix", L".orx", L".qgm"}) {
        std::wstring bound;
        if (RegistryProbe::ReadString(SetupView::Registry(), HKEY_CLASSES_ROOT, extension, nullptr, &bound) && bound == ProductFacts::kProgId) {
            DriverLog::Info("removing left-over key %s", DriverLog::Utf8(extension).c_str());
            RegistryProbe::DeleteTree(SetupView::Registry(), HKEY_CLASSES_ROOT, extension);
        }
    }
    for (const std::wstring& folder : {InstallCheck::StartMenuFolder(), InstallCheck::DefaultTarget(),
                                       SetupView::OtherProgramFiles() + L"\\" + ProductFacts::kDisplayName}) {
        if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
            DriverLog::Info("removing left-over folder %s", DriverLog::Utf8(folder).c_str());
            FileProbe::RemoveTree(folder);
        }
    }
}

void InstallCleanup::Clean()
{
    if (IsInstalled())
        RunInstalledUninstaller();
    RemoveLeftovers();
}
