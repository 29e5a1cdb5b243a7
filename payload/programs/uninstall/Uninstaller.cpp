#include "Uninstaller.h"

#include <shlobj.h>

#include "UninstallData.h"
#include "foundation/PathText.h"
#include "foundation/RegistryText.h"
#include "foundation/ScopedHandle.h"
#include "foundation/TemporaryName.h"

namespace {

const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kaze-Mar Orlix Player";
const wchar_t kStartMenuFolder[] = L"Kaze Mar Orlix Player";
const wchar_t kSamplesFolder[] = L"Orlix Player samples";
const wchar_t kProgId[] = L"OrlixPlayer";

const wchar_t* const kProductShortcuts[] = {L"License.lnk", L"Uninstall.lnk", L"Quickstart guide.lnk"};
const wchar_t* const kSampleShortcuts[] = {L"Microsoft Powerpoint sample.lnk", L"Microsoft Word sample.lnk"};

// Keys of the viewer control, the local server and their program ids.
const wchar_t* const kClassKeys[] = {
    L"CLSID\\{A3F0D7E1-52C4-4B8A-8E6D-1C9B2F47E305}",
    L"CLSID\\{6E1B4C02-7A39-4F5D-9C21-3B8E5D0F7A64}",
    L"OrlixPlayer",
    L"OrlixPlayer.ocx",
};
const wchar_t* const kExtensions[] = {L".orlix", L".orx", L".qgm"};

using PathText::Append;
using PathText::IsSeparator;

bool SameText(const wchar_t* a, int lengthA, const wchar_t* b, int lengthB)
{
    return CompareStringOrdinal(a, lengthA, b, lengthB, TRUE) == CSTR_EQUAL;
}

// One separator between components, "/" read as one: a drive root chosen as target gives
// "C:\\Kaze...". Only the two that open a share ("\\server") stay. Returns the new length.
int CollapseSeparators(wchar_t* value)
{
    int kept = 0;
    for (int i = 0; value[i]; ++i) {
        const wchar_t c = IsSeparator(value[i]) ? L'\\' : value[i];
        if (c == L'\\' && kept > 1 && value[kept - 1] == L'\\')
            continue;
        value[kept++] = c;
    }
    value[kept] = 0;
    return kept;
}

// Whether a path names a folder below a drive ("C:\x") or a share ("\\server\share\x"): the
// location must never be a drive or share root.
bool IsAcceptableLocation(const wchar_t* path)
{
    int start;
    if (((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) && path[1] == L':' &&
        path[2] == L'\\') {
        start = 3;
    } else if (path[0] == L'\\' && path[1] == L'\\') {
        // server and share
        start = 2;
        for (int part = 0; part < 2; ++part) {
            int begin = start;
            while (path[start] && path[start] != L'\\')
                ++start;
            if (start == begin || !path[start])
                return false;
            ++start;
        }
    } else {
        return false;
    }
    return path[start] != 0 && Uninstaller::IsSafeName(path + start, lstrlenW(path + start));
}

} // namespace

Uninstaller::Uninstaller()
    : found_(false), truncated_(false), filesRemain_(false), finalPass_(false), failures_(0), selfVolume_(0),
      selfIndex_(0)
{
    location_[0] = 0;
    uninstaller_[0] = 0;
    deferred_[0] = 0;
    self_[0] = 0;
    report_[0] = 0;
}

bool Uninstaller::IsSafeName(const wchar_t* name, int length)
{
    if (!name || length <= 0 || lstrlenW(name) != length)
        return false;
    if (IsSeparator(name[0]))
        return false;
    int componentStart = 0;
    for (int i = 0; i <= length; ++i) {
        const wchar_t c = name[i];
        if (i < length && !IsSeparator(c)) {
            if (c < 32 || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' || c == L'|')
                return false;
            continue;
        }
        const int componentLength = i - componentStart;
        if (componentLength == 0)
            return false;
        const wchar_t last = name[i - 1];
        // Covers "." and ".." as well: Windows drops trailing dots and blanks, so "..." or
        // ".. " would be read as "..".
        if (last == L'.' || last == L' ')
            return false;
        componentStart = i + 1;
    }
    return true;
}

void Uninstaller::AddFailure(const wchar_t* what, const wchar_t* subject, const wchar_t* detail)
{
    wchar_t line[kMaxPath + 128];
    line[0] = 0;
    Append(line, kMaxPath + 128, what);
    Append(line, kMaxPath + 128, L" ");
    Append(line, kMaxPath + 128, subject);
    if (detail) {
        Append(line, kMaxPath + 128, L" (");
        Append(line, kMaxPath + 128, detail);
        Append(line, kMaxPath + 128, L")");
    }
    Append(line, kMaxPath + 128, L"\r\n");
    ++failures_;
    // The same folder can fail once for every file below it: report it once.
    const int lineLength = lstrlenW(line);
    for (const wchar_t* p = report_; *p;) {
        const wchar_t* end = p;
        while (*end && *end != L'\n')
            ++end;
        if (*end)
            ++end;
        if (end - p == lineLength && SameText(p, lineLength, line, lineLength))
            return;
        p = end;
    }
    if (truncated_)
        return;
    if (!Append(report_, kReportCapacity, line)) {
        truncated_ = true;
        Append(report_, kReportCapacity, L"...\r\n");
    }
}

namespace {

// A text value of the product's uninstall entry.
LONG ReadEntryText(const wchar_t* name, wchar_t* value, int capacity)
{
    ScopedRegKey key;
    const LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_QUERY_VALUE, key.put());
    if (status != ERROR_SUCCESS)
        return status;
    return ReadRegistryText(key.get(), name, value, capacity);
}

} // namespace

Uninstaller::LocationState Uninstaller::ReadInstallLocation()
{
    wchar_t value[kMaxPath];
    const LONG status = ReadEntryText(L"InstallLocation", value, kMaxPath);
    if (status == ERROR_MORE_DATA || status == ERROR_INVALID_DATATYPE) {
        lstrcpyW(location_, L"(unreadable InstallLocation)");
        return kInvalidLocation;
    }
    if (status != ERROR_SUCCESS)
        return kNotInstalled;

    int length = CollapseSeparators(value);
    while (length > 0 && value[length - 1] == L'\\')
        value[--length] = 0;
    lstrcpyW(location_, value);
    return IsAcceptableLocation(value) ? kLocationFound : kInvalidLocation;
}

void Uninstaller::ReadRegisteredUninstaller()
{
    uninstaller_[0] = 0;
    wchar_t value[kMaxPath];
    if (ReadEntryText(L"UninstallString", value, kMaxPath) != ERROR_SUCCESS)
        return;
    // In quotation marks, or bare as earlier setups wrote it.
    wchar_t* program = PathText::CommandProgram(value);
    CollapseSeparators(program);
    const DWORD length = GetFullPathNameW(program, kMaxPath, uninstaller_, nullptr);
    if (length == 0 || length >= static_cast<DWORD>(kMaxPath))
        uninstaller_[0] = 0;
}

bool Uninstaller::BuildPath(const wchar_t* relative, wchar_t* path)
{
    wchar_t joined[kMaxPath];
    lstrcpyW(joined, location_);
    if (!Append(joined, kMaxPath, L"\\") || !Append(joined, kMaxPath, relative))
        return false;
    for (wchar_t* p = joined; *p; ++p) {
        if (IsSeparator(*p))
            *p = L'\\';
    }
    // Normalised once more by the system: the result must still lie below the location.
    const DWORD length = GetFullPathNameW(joined, kMaxPath, path, nullptr);
    if (length == 0 || length >= static_cast<DWORD>(kMaxPath))
        return false;
    const int prefix = lstrlenW(location_);
    return static_cast<int>(length) > prefix + 1 && SameText(path, prefix, location_, prefix) && path[prefix] == L'\\';
}

namespace {

// Volume serial number and file index: the same file whatever the spelling of its path
// (short names, case).
bool GetFileIdentity(const wchar_t* path, DWORD* volume, ULONGLONG* index)
{
    const ScopedFile file(CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!file || !GetFileInformationByHandle(file.get(), &information))
        return false;
    *volume = information.dwVolumeSerialNumber;
    *index = (static_cast<ULONGLONG>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return true;
}

} // namespace

bool Uninstaller::IsSelf(const wchar_t* path) const
{
    if (!self_[0])
        return false;
    if (SameText(path, -1, self_, -1))
        return true;
    DWORD volume = 0;
    ULONGLONG index = 0;
    return selfIndex_ != 0 && GetFileIdentity(path, &volume, &index) && volume == selfVolume_ && index == selfIndex_;
}

void Uninstaller::RemoveFile(const wchar_t* relative, bool reportMissing)
{
    wchar_t path[kMaxPath];
    if (!IsSafeName(relative, lstrlenW(relative)) || !BuildPath(relative, path)) {
        AddFailure(L"Refused to remove", relative, L"not a file name inside the installation folder");
        return;
    }
    // The program the entry starts goes last, and only with everything else: while the entry
    // stays, the setup must be able to run it again.
    if (!finalPass_ && uninstaller_[0] && SameText(path, -1, uninstaller_, -1)) {
        lstrcpynW(deferred_, relative, kMaxPath);
        return;
    }
    // Started from inside the installation the program cannot delete itself now.
    if (IsSelf(path)) {
        MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        return;
    }
    if (DeleteFileW(path))
        return;
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        if (reportMissing)
            AddFailure(L"Missing", path);
        return;
    }
    const DWORD attributes = GetFileAttributesW(path);
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_READONLY)) {
        if (SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY) && DeleteFileW(path))
            return;
        error = GetLastError();
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        AddFailure(L"Could not remove", path, L"a folder stands where the file was installed");
        return;
    }
    filesRemain_ = true;
    AddFailure(L"Could not remove", path, error == ERROR_SHARING_VIOLATION ? L"in use by another program" : nullptr);
}

void Uninstaller::RemoveFolder(const wchar_t* path)
{
    if (RemoveDirectoryW(path))
        return;
    const DWORD error = GetLastError();
    // A folder that still holds something (files of the user, or this very program) stays.
    if (error == ERROR_DIR_NOT_EMPTY || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        error == ERROR_DIRECTORY)
        return;
    AddFailure(L"Could not remove folder", path);
}

void Uninstaller::RemoveFoldersOf(const wchar_t* relative)
{
    wchar_t path[kMaxPath];
    if (!IsSafeName(relative, lstrlenW(relative)) || !BuildPath(relative, path))
        return;
    const int prefix = lstrlenW(location_);
    // Deepest folder first, up to (not including) the location itself.
    for (int i = lstrlenW(path) - 1; i > prefix; --i) {
        if (path[i] == L'\\') {
            path[i] = 0;
            // What a killed setup staged beside the files goes with them.
            TemporaryName::RemoveIn(path);
            RemoveFolder(path);
        }
    }
}

void Uninstaller::RemoveListedFiles()
{
    wchar_t dataPath[kMaxPath];
    lstrcpyW(dataPath, location_);
    Append(dataPath, kMaxPath, L"\\Uninstall");

    UninstallData data;
    const bool haveData = data.Load(dataPath);
    if (!haveData) {
        // The installed files, whichever they are, stay.
        if (GetFileAttributesW(dataPath) != INVALID_FILE_ATTRIBUTES) {
            filesRemain_ = true;
            AddFailure(L"Could not read the list of installed files", dataPath, L"the file is damaged");
        } else if (GetFileAttributesW(location_) != INVALID_FILE_ATTRIBUTES) {
            filesRemain_ = true;
            AddFailure(L"Could not read the list of installed files", dataPath, L"the file is missing");
        }
    }

    // Files the setup writes beside the listed ones.
    const wchar_t* const extras[] = {L"resources\\License.rtf", L"Environnement.txt", L"Environnement.txt.tmp"};
    for (int i = 0; haveData && i < data.Count(); ++i) {
        if (IsSafeName(data.Name(i), data.Length(i)))
            RemoveFile(data.Name(i), false);
        else
            AddFailure(L"Refused to remove", data.Name(i), L"not a file name inside the installation folder");
    }
    for (const wchar_t* extra : extras)
        RemoveFile(extra, false);
    // The list and the uninstaller stay with the files that remain, for the next run.
    finalPass_ = true;
    if (deferred_[0] && !filesRemain_)
        RemoveFile(deferred_, false);
    if (haveData && !filesRemain_)
        RemoveFile(L"Uninstall", false);

    for (int i = 0; haveData && i < data.Count(); ++i)
        RemoveFoldersOf(data.Name(i));
    for (const wchar_t* extra : extras)
        RemoveFoldersOf(extra);
}

void Uninstaller::RemoveShortcuts()
{
    wchar_t programs[MAX_PATH];
    if (!SHGetSpecialFolderPathW(nullptr, programs, CSIDL_COMMON_PROGRAMS, FALSE) || !programs[0])
        return;
    wchar_t folder[kMaxPath];
    lstrcpyW(folder, programs);
    if (!IsSeparator(folder[lstrlenW(folder) - 1]))
        Append(folder, kMaxPath, L"\\");
    Append(folder, kMaxPath, kStartMenuFolder);

    wchar_t samples[kMaxPath];
    lstrcpyW(samples, folder);
    Append(samples, kMaxPath, L"\\");
    Append(samples, kMaxPath, kSamplesFolder);

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
            if (!Append(link, kMaxPath, L"\\") || !Append(link, kMaxPath, group.names[i]))
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
    const bool ours = ReadRegistryText(key.get(), nullptr, value, 64) == ERROR_SUCCESS && SameText(value, -1, kProgId, -1);
    bool empty = false;
    if (ours) {
        // Only the binding is ours: other programs' entries below the extension stay.
        if (RegDeleteValueW(key.get(), nullptr) != ERROR_SUCCESS) {
            wchar_t shown[64] = L"HKEY_CLASSES_ROOT\\";
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
        RemoveKeyTree(HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT", extension);
}

void Uninstaller::RemoveRegistration()
{
    for (const wchar_t* extension : kExtensions)
        RemoveExtension(extension);
    for (const wchar_t* key : kClassKeys)
        RemoveKeyTree(HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT", key);
}

bool Uninstaller::Run()
{
    // The current folder could be inside the installation (a shortcut starts us there), and
    // a current folder cannot be removed.
    wchar_t temporary[MAX_PATH + 1];
    const DWORD tempLength = GetTempPathW(MAX_PATH + 1, temporary);
    if (tempLength > 0 && tempLength <= MAX_PATH)
        SetCurrentDirectoryW(temporary);

    wchar_t module[kMaxPath];
    const DWORD moduleLength = GetModuleFileNameW(nullptr, module, kMaxPath);
    if (moduleLength == 0 || moduleLength >= static_cast<DWORD>(kMaxPath) ||
        GetFullPathNameW(module, kMaxPath, self_, nullptr) >= static_cast<DWORD>(kMaxPath))
        self_[0] = 0;
    if (!self_[0] || !GetFileIdentity(self_, &selfVolume_, &selfIndex_))
        selfIndex_ = 0;

    const LocationState state = ReadInstallLocation();
    ReadRegisteredUninstaller();
    if (state == kNotInstalled)
        return false;
    found_ = true;

    if (state == kInvalidLocation) {
        filesRemain_ = true;
        AddFailure(L"Refused to remove the files of", location_, L"not a folder below a drive or share");
    } else {
        RemoveListedFiles();
    }
    RemoveShortcuts();
    RemoveRegistration();

    if (state == kLocationFound) {
        TemporaryName::RemoveIn(location_);
        RemoveFolder(location_);
        // The target folder that the setup made around the location goes too when empty.
        wchar_t parent[kMaxPath];
        lstrcpyW(parent, location_);
        for (int i = lstrlenW(parent) - 1; i > 0; --i) {
            if (parent[i] == L'\\') {
                parent[i] = 0;
                break;
            }
        }
        if (IsAcceptableLocation(parent))
            RemoveFolder(parent);
    }

    // The entry stays while installed files do: the installation is still there, and the
    // setup asks again about it.
    if (!filesRemain_)
        RemoveKeyTree(HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", kUninstallKey);
    return failures_ == 0;
}
