#pragma once
// Helpers shared by the install task tests: temporary folders, files, registry reads and the
// watcher that answers message boxes.
#include "foundation/Platform.h"

#include <string>
#include <vector>

namespace tasks {

// A new, empty folder below the system's temporary folder (no trailing backslash).
std::wstring MakeTempFolder(const wchar_t* name);
// Deletes path and everything below it; clears read-only marks. Quiet when absent.
void RemoveTree(const std::wstring& path);

bool WriteBytes(const std::wstring& path, const std::string& bytes);
// Whole file; false when it cannot be read.
bool ReadBytes(const std::wstring& path, std::string* bytes);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);

bool KeyExists(HKEY root, const std::wstring& path);
// Deletes root\path with everything below it; quiet when absent.
void DeleteKeyTree(HKEY root, const std::wstring& path);
// Raw value: type and bytes exactly as the system returns them.
bool ReadValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD* type, std::string* data);
// Text of a REG_SZ value ended at the returned byte count; a terminator that the system
// counted into the data is dropped. size receives the byte count.
bool ReadText(HKEY root, const std::wstring& path, const wchar_t* name, std::wstring* text, DWORD* size = nullptr);
bool SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text);

std::wstring GuidText(const GUID& guid);
std::wstring CurrentDirectory();
bool SamePath(const std::wstring& a, const std::wstring& b);

// Watches for a message box with the given caption on any thread of the process and presses
// the button with the given id. Stops on its own after timeoutMs.
class DialogAnswerer {
public:
    DialogAnswerer(const wchar_t* caption, int buttonId, DWORD timeoutMs = 30000);
    ~DialogAnswerer();
    // Ends the watch (waits for the watcher); afterwards the results are stable.
    void Stop();
    int Answered() const { return answered_; }
    const std::wstring& LastText() const { return text_; }

private:
    static DWORD WINAPI Watch(LPVOID self);

    std::wstring caption_;
    int buttonId_;
    DWORD timeoutMs_;
    volatile LONG stop_;
    volatile LONG answered_;
    std::wstring text_;
    HANDLE thread_;
};

// Makes the calling thread the one posted events go to (with its message queue), so that
// events posted before the loop runs are kept.
void PrepareMainThread();
// Runs the calling thread's main loop until something posts WM_QUIT; gives up after
// timeoutMs. Returns false on time-out.
bool RunMainLoopFor(DWORD timeoutMs);

} // namespace tasks
