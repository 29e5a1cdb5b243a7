#pragma once
// Helpers of the wizard tests: a message pump that delivers posted events as the main loop
// does, a bounded real main loop, a watcher that answers dialogs, and registry set-up of the
// product's uninstall entry.
#include "foundation/AsyncTask.h"
#include "ui/KZ_UIWindow.h"

#include <functional>
#include <string>
#include <vector>

namespace wizard {

// Runs the thread's queue like RunMainLoop (events published, keys pre-translated) until it
// has been empty for a moment, at most maxMs. Returns true when a WM_QUIT was taken out of it.
bool Pump(DWORD maxMs = 2000);
// Pumps until done() holds, at most maxMs; false on time-out.
bool PumpUntil(const std::function<bool()>& done, DWORD maxMs = 10000);
// Takes a pending WM_QUIT out of the queue; true when there was one.
bool TakeQuit();
// KZ_EventListener::RunMainLoop with a bound: false when the watchdog had to end it.
bool RunMainLoopFor(DWORD timeoutMs);

// Pushes a native button (BM_CLICK) and delivers what follows.
void Click(HWND control);
std::wstring WindowText(HWND window);
bool IsVisible(const KZ_UIWindow* window);
// Where a window sits in its native parent's client area.
RECT Placement(const KZ_UIWindow* window);
// The child of parent with that name; null when there is none.
KZ_UIWindow* Child(KZ_UIWindow* parent, const wchar_t* name);
// The names of the children, in child order.
std::vector<std::wstring> ChildNames(KZ_UIWindow* parent);
// Gives a top-level window a client area of the given size.
void SetClientSize(HWND window, int width, int height);

// Watches for a dialog of the process with the given caption and presses the buttons of
// answers, one per appearance. Stops after the last answer or timeoutMs.
class DialogAnswerer {
public:
    DialogAnswerer(const wchar_t* caption, std::vector<int> answers, DWORD timeoutMs = 20000);
    ~DialogAnswerer();
    void Stop();
    int Answered() const { return answered_; }
    // The message text of each dialog answered (static control 0xFFFF of a message box).
    const std::vector<std::wstring>& Texts() const { return texts_; }
    // The buttons each dialog offered (ids of IDOK..IDNO that exist).
    const std::vector<std::vector<int>>& Buttons() const { return buttons_; }

private:
    static DWORD WINAPI Watch(LPVOID self);

    std::wstring caption_;
    std::vector<int> answers_;
    DWORD timeoutMs_;
    volatile LONG stop_;
    volatile LONG answered_;
    std::vector<std::wstring> texts_;
    std::vector<std::vector<int>> buttons_;
    HANDLE thread_;
};

// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kaze-Mar Orlix Player.
extern const wchar_t kProductKey[];
void DeleteProductEntry();
bool ProductEntryExists();
// Writes InstallLocation, UninstallString and (when not empty) DisplayVersion.
bool WriteProductEntry(const std::wstring& location, const std::wstring& uninstaller,
                       const std::wstring& version);

// The folder of the running test program (no trailing backslash).
std::wstring ProgramFolder();
std::wstring ReadTextFile(const std::wstring& path);

} // namespace wizard
