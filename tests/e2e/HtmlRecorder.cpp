// Stand-in for the program that opens ".html" documents in the test prefix: records its
// command line (UTF-16) in its own path + ".log", then a line "TokenElevation=N" with its own
// token's elevation (whoever started it decided it), and ends.
#include "foundation/Platform.h"

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t path[MAX_PATH + 8];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    lstrcatW(path, L".log");
    // -1: the token could not be read.
    long elevated = -1;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        TOKEN_ELEVATION elevation = {};
        DWORD size = 0;
        if (GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size))
            elevated = static_cast<long>(elevation.TokenIsElevated);
        CloseHandle(token);
    }
    wchar_t line[64];
    swprintf(line, 64, L"\nTokenElevation=%ld", elevated);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const wchar_t* command = GetCommandLineW();
    BOOL ok = WriteFile(file, command, lstrlenW(command) * sizeof(wchar_t), &written, nullptr) &&
              WriteFile(file, line, lstrlenW(line) * sizeof(wchar_t), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 1;
}
