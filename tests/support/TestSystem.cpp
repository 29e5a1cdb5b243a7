#include "tests/support/TestSystem.h"

#include <objbase.h>

#include <vector>

namespace kztest {

std::wstring SystemText(DWORD code)
{
    LPWSTR buffer = nullptr;
    const DWORD units = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                           FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                       nullptr, code, 0x400, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text = units ? std::wstring(buffer, units) : std::wstring();
    if (buffer)
        LocalFree(buffer);
    return text;
}

std::wstring GuidText(const GUID& guid)
{
    wchar_t buffer[64];
    return StringFromGUID2(guid, buffer, 64) > 0 ? std::wstring(buffer) : std::wstring();
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH];
    const std::wstring module(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    const size_t slash = module.find_last_of(L"\\/");
    return slash == std::wstring::npos ? module : module.substr(0, slash);
}

bool StartProgram(const std::wstring& application, const std::wstring& commandLine, PROCESS_INFORMATION* process)
{
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    return CreateProcessW(application.empty() ? nullptr : application.c_str(), line.data(), nullptr, nullptr, FALSE,
                          0, nullptr, nullptr, &startup, process) != 0;
}

bool RunProgram(const std::wstring& application, const std::wstring& commandLine, DWORD timeoutMs, DWORD* exitCode)
{
    PROCESS_INFORMATION process;
    if (!StartProgram(application, commandLine, &process))
        return false;
    const bool ended = WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
}

} // namespace kztest
