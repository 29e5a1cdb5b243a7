// Stands in for the product's uninstaller: writes its command line and its own path, one
// per line in UTF-16LE, to the file named by KZ_TEST_UNINSTALL_OUTPUT and exits with 3.
#include <windows.h>

int main()
{
    wchar_t output[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"KZ_TEST_UNINSTALL_OUTPUT", output, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    wchar_t self[MAX_PATH];
    const DWORD selfLength = GetModuleFileNameW(nullptr, self, MAX_PATH);
    const wchar_t* commandLine = GetCommandLineW();

    HANDLE file = CreateFileW(output, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const wchar_t newline = L'\n';
    WriteFile(file, commandLine, static_cast<DWORD>(lstrlenW(commandLine) * sizeof(wchar_t)),
              &written, nullptr);
    WriteFile(file, &newline, sizeof(newline), &written, nullptr);
    WriteFile(file, self, selfLength * sizeof(wchar_t), &written, nullptr);
    CloseHandle(file);
    return 3;
}
