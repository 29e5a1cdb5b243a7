#pragma once
// Watches for a dialog of this process with the given caption and presses the buttons of
// answers, one per appearance (with repeatLast, the last one on every further appearance).
// Stops after the last answer, on Stop, or after timeoutMs.
#include <string>
#include <vector>

#include "foundation/Platform.h"

namespace kztest {

class DialogAnswerer {
public:
    DialogAnswerer(const wchar_t* caption, std::vector<int> answers, DWORD timeoutMs = 20000,
                   bool repeatLast = false);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;
    // Ends the watch (waits for the watcher); afterwards the results are stable.
    void Stop();
    int Answered() const { return answered_; }
    // The message text of each dialog answered (static control 0xFFFF of a message box).
    const std::vector<std::wstring>& Texts() const { return texts_; }
    std::wstring LastText() const { return texts_.empty() ? std::wstring() : texts_.back(); }
    // The buttons each dialog offered (ids of IDOK..IDNO that exist).
    const std::vector<std::vector<int>>& Buttons() const { return buttons_; }

private:
    static DWORD WINAPI Watch(LPVOID self);

    std::wstring caption_;
    std::vector<int> answers_;
    DWORD timeoutMs_;
    bool repeatLast_;
    volatile LONG stop_ = 0;
    volatile LONG answered_ = 0;
    std::vector<std::wstring> texts_;
    std::vector<std::vector<int>> buttons_;
    HANDLE thread_ = nullptr;
};

} // namespace kztest
