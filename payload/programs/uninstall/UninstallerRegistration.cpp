// What the setup registered outside the install folder: the Start-menu shortcuts, the COM
// classes and program ids, and the document types while they are still the product's.
#include "Uninstaller.h"

#include <initializer_list>
#include <objbase.h>
#include <shlobj.h>

#include "foundation/PathText.h"
#include "foundation/ProductConstants.h"
#include "foundation/RegistryText.h"
#include "foundation/ScopedHandle.h"

using PathText::Append;
using PathText::IsSeparator;

namespace {

const wchar_t kClassesRoot[] = L"HKEY_CLASSES_ROOT";
const wchar_t kLinkExtension[] = L".lnk";

// The shortcuts' names are the shipped catalog texts of the setup's shortcut keys; the License
// shortcut has the license copy's name.
const wchar_t* const kProductShortcuts[] = {Product::kLicenseCopyName, L"Uninstall", L"Quickstart guide"};
const wchar_t* const kSampleShortcuts[] = {L"Microsoft Powerpoint sample", L"Microsoft Word sample"};

// "CLSID\{...}" of a class.
bool ClassKey(const GUID& id, wchar_t* key, int capacity)
{
    wchar_t text[40];
    lstrcpyW(key, L"CLSID\\");
    return StringFromGUID2(id, text, 40) != 0 && Append(key, capacity, text);
}

} // namespace

void Uninstaller::RemoveShortcuts()
{
    wchar_t programs[MAX_PATH];
    if (!SHGetSpecialFolderPathW(nullptr, programs, CSIDL_COMMON_PROGRAMS, FALSE) || !programs[0])
        return;
    wchar_t folder[kMaxPath];
    lstrcpyW(folder, programs);
    if (!IsSeparator(folder[lstrlenW(folder) - 1]))
        Append(folder, kMaxPath, L"\\");
    Append(folder, kMaxPath, Product::kDisplayName);

    wchar_t samples[kMaxPath];
    lstrcpyW(samples, folder);
    Append(samples, kMaxPath, L"\\");
    Append(samples, kMaxPath, Product::kSamplesFolder);

    struct Group {
        const wchar_t* folder;
        const wchar_t* const* names;
        int count;
    };
    const Group groups[] = {{samples, kSampleShortcuts, 2}, {folder, kProductShortcuts, 3}};
    for (const Group& group : groups) {
        for (int i = 0; i < group.count; ++i) {
            wchar_t link[kMaxPath];
            lstrcpyW(link, group.folder);
            if (!Append(link, kMaxPath, L"\\") || !Append(link, kMaxPath, group.names[i]) ||
                !Append(link, kMaxPath, kLinkExtension))
                continue;
            if (!DeleteFileW(link)) {
                const DWORD error = GetLastError();
                if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
                    AddFailure(L"Could not remove shortcut", link);
            }
        }
        RemoveFolder(group.folder);
    }
}

void Uninstaller::RemoveKeyTree(HKEY root, const wchar_t* rootName, const wchar_t* path)
{
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExW(root, path, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, &opened);
    if (status == ERROR_FILE_NOT_FOUND)
        return;
    ScopedRegKey key(status == ERROR_SUCCESS ? opened : nullptr);
    wchar_t shown[kMaxPath];
    lstrcpyW(shown, rootName);
    Append(shown, kMaxPath, L"\\");
    Append(shown, kMaxPath, path);
    if (status != ERROR_SUCCESS) {
        AddFailure(L"Could not remove registry key", shown);
        return;
    }
    bool ok = true;
    for (;;) {
        wchar_t child[256];
        DWORD length = 256;
        status = RegEnumKeyExW(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        wchar_t childPath[kMaxPath];
        lstrcpyW(childPath, path);
        if (status != ERROR_SUCCESS || !Append(childPath, kMaxPath, L"\\") || !Append(childPath, kMaxPath, child)) {
            ok = false;
            break;
        }
        const int before = failures_;
        RemoveKeyTree(root, rootName, childPath);
        if (failures_ != before)
            break;   // reported already; the key cannot go either
    }
    key.reset();
    // A key that could not be deleted counts only while it still exists.
    if (!ok || (RegDeleteKeyW(root, path) != ERROR_SUCCESS &&
                RegOpenKeyExW(root, path, 0, KEY_READ, key.put()) == ERROR_SUCCESS))
        AddFailure(L"Could not remove registry key", shown);
}

void Uninstaller::RemoveExtension(const wchar_t* extension)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, extension, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS,
                      &opened) != ERROR_SUCCESS)
        return;
    ScopedRegKey key(opened);
    wchar_t value[64];
    const bool ours = ReadRegistryText(key.get(), nullptr, value, 64) == ERROR_SUCCESS &&
                      SameText(value, -1, Product::kServerProgramId, -1);
    bool empty = false;
    if (ours) {
        // Only the binding is ours: other programs' entries below the extension stay.
        if (RegDeleteValueW(key.get(), nullptr) != ERROR_SUCCESS) {
            wchar_t shown[64];
            lstrcpyW(shown, kClassesRoot);
            Append(shown, 64, L"\\");
            Append(shown, 64, extension);
            AddFailure(L"Could not remove registry value", shown);
        } else {
            DWORD subkeys = 1, values = 1;
            empty = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                     nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                    subkeys == 0 && values == 0;
        }
    }
    key.reset();
    if (empty)
        RemoveKeyTree(HKEY_CLASSES_ROOT, kClassesRoot, extension);
}

void Uninstaller::RemoveRegistration()
{
    for (const wchar_t* extension : {Product::kOrlixExtension, Product::kOrxExtension, Product::kQgmExtension})
        RemoveExtension(extension);
    // The control's and the local server's classes, then their program ids.
    for (const GUID* id : {&Product::kControlClass, &Product::kServerClass}) {
        wchar_t key[64];
        if (ClassKey(*id, key, 64))
            RemoveKeyTree(HKEY_CLASSES_ROOT, kClassesRoot, key);
    }
    for (const wchar_t* programId : {Product::kServerProgramId, Product::kControlProgramId})
        RemoveKeyTree(HKEY_CLASSES_ROOT, kClassesRoot, programId);
}
