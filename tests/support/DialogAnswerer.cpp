#include "tests/support/DialogAnswerer.h"

namespace kztest {

namespace {

struct FindDialog {
    const wchar_t* caption;
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindDialogProc(HWND window, LPARAM parameter)
{
    FindDialog* find = reinterpret_cast<FindDialog*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != find->process || !IsWindowVisible(window))
        return TRUE;
    wchar_t className[64];
    wchar_t caption[256];
    if (GetClassNameW(window, className, 64) == 0 || lstrcmpW(className, L"#32770") != 0)
        return TRUE;
    if (GetWindowTextW(window, caption, 256) == 0 || lstrcmpW(caption, find->caption) != 0)
        return TRUE;
    find->found = window;
    return FALSE;
}

} // namespace

DialogAnswerer::DialogAnswerer(const wchar_t* caption, std::vector<int> answers, DWORD timeoutMs, bool repeatLast)
    : caption_(caption), answers_(std::move(answers)), timeoutMs_(timeoutMs), repeatLast_(repeatLast)
{
    thread_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
}

DialogAnswerer::~DialogAnswerer()
{
    Stop();
}

void DialogAnswerer::Stop()
{
    InterlockedExchange(&stop_, 1);
    if (thread_ != nullptr) {
        WaitForSingleObject(thread_, timeoutMs_ + 5000);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
}

DWORD WINAPI DialogAnswerer::Watch(LPVOID parameter)
{
    DialogAnswerer* self = static_cast<DialogAnswerer*>(parameter);
    const DWORD start = GetTickCount();
    size_t next = 0;
    while ((next < self->answers_.size() || (self->repeatLast_ && !self->answers_.empty())) && self->stop_ == 0 &&
           GetTickCount() - start < self->timeoutMs_) {
        FindDialog find = {self->caption_.c_str(), GetCurrentProcessId(), nullptr};
        EnumWindows(FindDialogProc, reinterpret_cast<LPARAM>(&find));
        if (find.found == nullptr) {
            Sleep(20);
            continue;
        }
        // Let the box finish its creation before reading and answering it.
        Sleep(100);
        wchar_t text[2048];
        const int length = GetDlgItemTextW(find.found, 0xFFFF, text, 2048);
        self->texts_.push_back(std::wstring(text, length > 0 ? length : 0));
        std::vector<int> buttons;
        for (int id = IDOK; id <= IDNO; ++id)
            if (GetDlgItem(find.found, id) != nullptr)
                buttons.push_back(id);
        self->buttons_.push_back(buttons);
        const int id = self->answers_[next < self->answers_.size() ? next++ : self->answers_.size() - 1];
        PostMessageW(find.found, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(find.found, id)));
        InterlockedIncrement(&self->answered_);
        const DWORD gone = GetTickCount();
        while (IsWindow(find.found) && GetTickCount() - gone < 5000)
            Sleep(10);
    }
    return 0;
}

} // namespace kztest
