// setqorenv: writes the player's environment file.
//
//   setqorenv -e NAME -d "DIR" [-p "PARENT"] [-a global|user] [-icon yes|no] [-menu yes|no]
//             [-desktop yes|no]
//
// Writes DIR\NAME as ANSI lines "Key=value" ended by CR LF, through DIR\NAME.tmp moved over
// it. Exit codes: 0 written, 1 the file could not be written (an earlier one stays as it was),
// 2 bad arguments. A GUI program so that no console flashes up when the
// setup starts it.
#include <windows.h>
#include <shlobj.h>

#include "foundation/PathText.h"
#include "foundation/ProductConstants.h"
#include "foundation/ScopedHandle.h"
#include "payload/programs/common/CommandLine.h"

namespace {

const int kExitOk = 0;
const int kExitWriteFailed = 1;
const int kExitUsage = 2;

// Longest path the tool handles; the setup's paths stay far below it.
const int kMaxPath = 1024;

bool IsYesNo(const wchar_t* value)
{
    return lstrcmpiW(value, L"yes") == 0 || lstrcmpiW(value, L"no") == 0;
}

// A bare file name: no folder part, no drive or stream, not "." or "..".
bool IsPlainFileName(const wchar_t* name)
{
    if (!*name || lstrcmpW(name, L".") == 0 || lstrcmpW(name, L"..") == 0)
        return false;
    for (const wchar_t* p = name; *p; ++p) {
        if (PathText::IsSeparator(*p) || *p == L':' || *p < 32 || *p == L'*' || *p == L'?' ||
            *p == L'"' || *p == L'<' || *p == L'>' || *p == L'|')
            return false;
    }
    return true;
}

struct Options {
    const wchar_t* name;
    const wchar_t* dir;
    const wchar_t* parent;
    const wchar_t* scope;
    const wchar_t* icon;
    const wchar_t* menu;
    const wchar_t* desktop;
};

bool ParseOptions(wchar_t** tokens, int count, Options* options)
{
    options->name = options->dir = options->parent = nullptr;
    options->scope = L"global";
    options->icon = options->menu = options->desktop = L"no";
    for (int i = 0; i < count; i += 2) {
        if (i + 1 >= count)
            return false;
        const wchar_t* key = tokens[i];
        const wchar_t* value = tokens[i + 1];
        if (lstrcmpiW(key, L"-e") == 0)
            options->name = value;
        else if (lstrcmpiW(key, L"-d") == 0)
            options->dir = value;
        else if (lstrcmpiW(key, L"-p") == 0)
            options->parent = value;
        else if (lstrcmpiW(key, L"-a") == 0)
            options->scope = value;
        else if (lstrcmpiW(key, L"-icon") == 0)
            options->icon = value;
        else if (lstrcmpiW(key, L"-menu") == 0)
            options->menu = value;
        else if (lstrcmpiW(key, L"-desktop") == 0)
            options->desktop = value;
        else
            return false;
    }
    if (!options->name || !IsPlainFileName(options->name))
        return false;
    if (!options->dir || !*options->dir || lstrlenW(options->dir) > kMaxPath - 64)
        return false;
    if (options->parent && lstrlenW(options->parent) > kMaxPath - 64)
        return false;
    if (lstrcmpiW(options->scope, L"global") != 0 && lstrcmpiW(options->scope, L"user") != 0)
        return false;
    return IsYesNo(options->icon) && IsYesNo(options->menu) && IsYesNo(options->desktop);
}

// Appends text to a fixed buffer; false when it does not fit.
using PathText::Append;

void TrimTrailingSeparators(wchar_t* path)
{
    int n = lstrlenW(path);
    // Keep the separator of a drive root ("C:\").
    while (n > 1 && PathText::IsSeparator(path[n - 1]) && path[n - 2] != L':')
        path[--n] = 0;
}

// One "Key=value" line, converted to the ANSI code page and written.
bool WriteLine(HANDLE file, const wchar_t* key, const wchar_t* value)
{
    wchar_t line[kMaxPath * 2];
    line[0] = 0;
    if (!Append(line, kMaxPath * 2, key) || !Append(line, kMaxPath * 2, L"=") ||
        !Append(line, kMaxPath * 2, value) || !Append(line, kMaxPath * 2, L"\r\n"))
        return false;
    char bytes[kMaxPath * 4];
    const int size = WideCharToMultiByte(CP_ACP, 0, line, -1, bytes, sizeof bytes, nullptr, nullptr);
    if (size <= 1)
        return false;
    DWORD written = 0;
    return WriteFile(file, bytes, static_cast<DWORD>(size - 1), &written, nullptr) &&
           written == static_cast<DWORD>(size - 1);
}

// Moves temporary over file. A read-only, hidden or system file (a user's or a tool's mark)
// loses the mark only when it is being replaced; it keeps it when the move fails.
bool ReplaceWith(const wchar_t* temporary, const wchar_t* file)
{
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (MoveFileExW(temporary, file, flags))
        return true;
    const DWORD marks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(file);
    if (error != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & marks) ||
        !SetFileAttributesW(file, attributes & ~marks))
        return false;
    if (MoveFileExW(temporary, file, flags))
        return true;
    SetFileAttributesW(file, attributes);
    return false;
}

int WriteEnvironment(const Options& options)
{
    wchar_t dir[kMaxPath];
    lstrcpynW(dir, options.dir, kMaxPath);
    TrimTrailingSeparators(dir);

    wchar_t parent[kMaxPath];
    if (options.parent) {
        lstrcpynW(parent, options.parent, kMaxPath);
        TrimTrailingSeparators(parent);
    } else {
        lstrcpynW(parent, dir, kMaxPath);
        const int cut = PathText::LastSeparator(parent);
        if (cut >= 0)
            parent[cut] = 0;
    }

    wchar_t bin[kMaxPath];
    wchar_t resources[kMaxPath];
    wchar_t file[kMaxPath];
    wchar_t settings[kMaxPath];
    lstrcpyW(bin, dir);
    lstrcpyW(resources, dir);
    lstrcpyW(file, dir);
    if (!Append(bin, kMaxPath, Product::kProgramFolder) || !Append(resources, kMaxPath, L"\\resources") ||
        !Append(file, kMaxPath, L"\\") || !Append(file, kMaxPath, options.name))
        return kExitUsage;
    // The program folder is written without its closing separator.
    bin[lstrlenW(bin) - 1] = 0;

    // The per-user settings folder; the setup replaces this line with its own form.
    wchar_t appData[MAX_PATH];
    const int folder = lstrcmpiW(options.scope, L"global") == 0 ? CSIDL_COMMON_APPDATA : CSIDL_APPDATA;
    if (!SHGetSpecialFolderPathW(nullptr, appData, folder, FALSE))
        lstrcpyW(appData, L"%APPDATA%");
    lstrcpyW(settings, appData);
    if (!Append(settings, kMaxPath, L"\\OrlixPlayer\\QorSettings"))
        return kExitWriteFailed;

    // Written beside the file, flushed, then moved over it: a failure at any point leaves the
    // earlier file as it was.
    wchar_t temporary[kMaxPath];
    lstrcpyW(temporary, file);
    if (!Append(temporary, kMaxPath, Product::kRewriteSuffix))
        return kExitUsage;
    SetFileAttributesW(temporary, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(temporary);
    ScopedFile out(CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out)
        return kExitWriteFailed;
    const HANDLE handle = out.get();
    bool ok = WriteLine(handle, L"QorInstallDir", dir) && WriteLine(handle, L"QorParentDir", parent) &&
              WriteLine(handle, L"QorBinDir", bin) && WriteLine(handle, L"QorResourceDir", resources) &&
              WriteLine(handle, L"QorScope", options.scope) &&
              WriteLine(handle, L"QorUserSettingPath", settings) &&
              WriteLine(handle, L"QorDesktopIcon", options.desktop) &&
              WriteLine(handle, L"QorMenuEntry", options.menu) &&
              WriteLine(handle, L"QorTrayIcon", options.icon) && FlushFileBuffers(handle);
    // Closed before the failure check: a close can fail on the last write.
    ok = out.close() && ok && ReplaceWith(temporary, file);
    if (!ok) {
        DeleteFileW(temporary);
        return kExitWriteFailed;
    }
    return kExitOk;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const wchar_t* arguments = CommandLine::Arguments(GetCommandLineW());
    const int length = lstrlenW(arguments);
    if (length >= 8 * kMaxPath)
        return kExitUsage;
    wchar_t buffer[8 * kMaxPath];
    CopyMemory(buffer, arguments, (length + 1) * sizeof(wchar_t));

    wchar_t* tokens[32];
    const int count = CommandLine::Split(buffer, tokens, 32);
    Options options;
    if (count <= 0 || !ParseOptions(tokens, count, &options))
        return kExitUsage;
    return WriteEnvironment(options);
}
