#include "tests/e2e/SetupProcess.h"

#include <vector>

SetupProcess::SetupProcess() : process_(nullptr), processId_(0), threadId_(0)
{
}

SetupProcess::~SetupProcess()
{
    Kill();
}

bool SetupProcess::Start(const std::wstring& program, const std::wstring& commandTail)
{
    Kill();
    std::wstring line = L"\"" + program + L"\"";
    if (!commandTail.empty())
        line += L" " + commandTail;
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(0);
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof(info));
    if (!CreateProcessW(program.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    threadId_ = info.dwThreadId;
    return true;
}

bool SetupProcess::IsRunning() const
{
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool SetupProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode)
{
    if (process_ == nullptr)
        return false;
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    if (exitCode != nullptr)
        *exitCode = code;
    return true;
}

void SetupProcess::Kill()
{
    if (process_ == nullptr)
        return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
    process_ = nullptr;
    processId_ = 0;
    threadId_ = 0;
}
