// One run of a Windows program started by the driver. The destructor kills a program that
// is still running, so a failed scenario never leaves it behind.
#pragma once

#include <string>

#include "foundation/Platform.h"

class SetupProcess {
public:
    SetupProcess();
    ~SetupProcess();
    SetupProcess(const SetupProcess&) = delete;
    SetupProcess& operator=(const SetupProcess&) = delete;

    // commandTail follows the quoted program path on the command line (may be empty).
    bool Start(const std::wstring& program, const std::wstring& commandTail);
    bool IsRunning() const;
    // False when the program is still running after timeoutMs.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode);
    void Kill();

    DWORD ProcessId() const { return processId_; }
    DWORD MainThreadId() const { return threadId_; }

private:
    HANDLE process_;
    DWORD processId_;
    DWORD threadId_;
};
