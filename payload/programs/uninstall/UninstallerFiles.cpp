// The installed files and the folders they leave empty.
#include "Uninstaller.h"

#include "UninstallData.h"
#include "foundation/PathText.h"
#include "foundation/ProductConstants.h"
#include "foundation/ScopedHandle.h"
#include "foundation/TemporaryName.h"

using PathText::Append;
using PathText::IsSeparator;

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

// The files the setup writes beside the listed ones, relative to the install folder: the
// license copy, the environment file and the name its rewrite goes through.
struct Extras {
    wchar_t license[Uninstaller::kMaxPath];
    wchar_t environment[Uninstaller::kMaxPath];
    wchar_t rewrite[Uninstaller::kMaxPath];

    Extras()
    {
        // Relative names carry no leading separator.
        lstrcpyW(license, Product::kResourcesFolder + 1);
        Append(license, Uninstaller::kMaxPath, Product::kLicenseCopyName);
        Append(license, Uninstaller::kMaxPath, Product::kLicenseCopyExtension);
        lstrcpyW(environment, Product::kEnvironmentFile);
        lstrcpyW(rewrite, Product::kEnvironmentFile);
        Append(rewrite, Uninstaller::kMaxPath, Product::kRewriteSuffix);
    }
};

} // namespace

void Uninstaller::IdentifySelf()
{
    wchar_t module[kMaxPath];
    const DWORD moduleLength = GetModuleFileNameW(nullptr, module, kMaxPath);
    if (moduleLength == 0 || moduleLength >= static_cast<DWORD>(kMaxPath) ||
        GetFullPathNameW(module, kMaxPath, self_, nullptr) >= static_cast<DWORD>(kMaxPath))
        self_[0] = 0;
    if (!self_[0] || !GetFileIdentity(self_, &selfVolume_, &selfIndex_))
        selfIndex_ = 0;
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
    if (!BuildPath(relative, path)) {
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
    if (!BuildPath(relative, path))
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

    const Extras names;
    const wchar_t* const extras[] = {names.license, names.environment, names.rewrite};
    // Only what the setup could have listed is touched; the rest is reported.
    const int count = haveData ? data.Count() : 0;
    for (int i = 0; i < count; ++i) {
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

    for (int i = 0; i < count; ++i) {
        if (IsSafeName(data.Name(i), data.Length(i)))
            RemoveFoldersOf(data.Name(i));
    }
    for (const wchar_t* extra : extras)
        RemoveFoldersOf(extra);
}
