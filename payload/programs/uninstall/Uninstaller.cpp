#include "Uninstaller.h"

#include "archive/SafeName.h"
#include "foundation/PathText.h"
#include "foundation/ProductConstants.h"
#include "foundation/RegistryText.h"
#include "foundation/ScopedHandle.h"
#include "foundation/TemporaryName.h"

using PathText::Append;
using PathText::IsSeparator;

namespace {

// The product's uninstall entry below HKEY_LOCAL_MACHINE.
void EntryKeyPath(wchar_t* path)
{
    path[0] = 0;
    Append(path, Uninstaller::kMaxPath, Product::kUninstallKey);
    Append(path, Uninstaller::kMaxPath, L"\\");
    Append(path, Uninstaller::kMaxPath, Product::kRegistryKeyName);
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

// A text value of the product's uninstall entry.
LONG ReadEntryText(const wchar_t* name, wchar_t* value, int capacity)
{
    wchar_t entry[Uninstaller::kMaxPath];
    EntryKeyPath(entry);
    ScopedRegKey key;
    const LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, entry, 0, KEY_QUERY_VALUE, key.put());
    if (status != ERROR_SUCCESS)
        return status;
    return ReadRegistryText(key.get(), name, value, capacity);
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
    if (!name || length <= 0)
        return false;
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");
    return SafeName::Check(reinterpret_cast<const char16_t*>(name), static_cast<size_t>(length), nullptr, nullptr) ==
           SafeName::kSafe;
}

bool Uninstaller::SameText(const wchar_t* a, int lengthA, const wchar_t* b, int lengthB)
{
    return CompareStringOrdinal(a, lengthA, b, lengthB, TRUE) == CSTR_EQUAL;
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

void Uninstaller::RemoveTargetFolders()
{
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

bool Uninstaller::Run()
{
    // The current folder could be inside the installation (a shortcut starts us there), and
    // a current folder cannot be removed.
    wchar_t temporary[MAX_PATH + 1];
    const DWORD tempLength = GetTempPathW(MAX_PATH + 1, temporary);
    if (tempLength > 0 && tempLength <= MAX_PATH)
        SetCurrentDirectoryW(temporary);
    IdentifySelf();

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
    if (state == kLocationFound)
        RemoveTargetFolders();

    // The entry stays while installed files do: the installation is still there, and the
    // setup asks again about it.
    if (!filesRemain_) {
        wchar_t entry[kMaxPath];
        EntryKeyPath(entry);
        RemoveKeyTree(HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", entry);
    }
    return failures_ == 0;
}
