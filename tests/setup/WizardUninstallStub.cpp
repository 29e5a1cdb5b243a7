// Stands in for an earlier installation's uninstaller: appends its command line to the file
// named by WIZARD_STUB_LOG and, when WIZARD_STUB_REMOVE is "1", removes the product's
// uninstall entry. Its exit code is deliberately not 0: the setup must not look at it.
#include "foundation/Platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t log[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"WIZARD_STUB_LOG", log, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0,
                                  nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            const wchar_t* line = GetCommandLineW();
            DWORD written = 0;
            WriteFile(file, line, lstrlenW(line) * sizeof(wchar_t), &written, nullptr);
            WriteFile(file, L"\n", sizeof(wchar_t), &written, nullptr);
            CloseHandle(file);
        }
    }
    wchar_t remove[8];
    length = GetEnvironmentVariableW(L"WIZARD_STUB_REMOVE", remove, 8);
    if (length == 1 && remove[0] == L'1')
        RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                       L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kaze-Mar Orlix Player");
    return 3;
}
