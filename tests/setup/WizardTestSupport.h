#pragma once
// Helpers of the wizard tests: a message pump that delivers posted events as the main loop
// does, windows looked up and handled, and registry set-up of the product's uninstall entry;
// the common helpers (tests/support) under the names these tests know.
#include "foundation/AsyncTask.h"
#include "ui/KZ_UIWindow.h"

#include <functional>
#include <string>
#include <vector>

#include "tests/support/DialogAnswerer.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestLoop.h"
#include "tests/support/TestSystem.h"
#include "tests/support/TestWindows.h"

namespace wizard {

// Runs the thread's queue like RunMainLoop (events published, keys pre-translated) until it
// has been empty for a moment, at most maxMs. Returns true when a WM_QUIT was taken out of it.
bool Pump(DWORD maxMs = 2000);
// Pumps until done() holds, at most maxMs; false on time-out.
bool PumpUntil(const std::function<bool()>& done, DWORD maxMs = 10000);
// Takes a pending WM_QUIT out of the queue; true when there was one.
bool TakeQuit();

using kztest::DialogAnswerer;
using kztest::Placement;
using kztest::ProgramFolder;
using kztest::ReadTextFile;
using kztest::RunMainLoopFor;

// Pushes a native button (BM_CLICK) and delivers what follows.
void Click(HWND control);
std::wstring WindowText(HWND window);
bool IsVisible(const KZ_UIWindow* window);
// The child of parent with that name; null when there is none.
KZ_UIWindow* Child(KZ_UIWindow* parent, const wchar_t* name);
// The names of the children, in child order.
std::vector<std::wstring> ChildNames(KZ_UIWindow* parent);
// The window sits in the layout cell given.
void ExpectCell(KZ_UIWindow* window, int column, int row, int columnSpan, int rowSpan, int flags);
// Gives a top-level window a client area of the given size.
void SetClientSize(HWND window, int width, int height);

// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kaze-Mar Orlix Player.
extern const wchar_t kProductKey[];
void DeleteProductEntry();
bool ProductEntryExists();
// Writes InstallLocation, UninstallString and (when not empty) DisplayVersion.
bool WriteProductEntry(const std::wstring& location, const std::wstring& uninstaller,
                       const std::wstring& version);

} // namespace wizard
