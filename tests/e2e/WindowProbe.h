// Looks at the windows of another process the way an accessibility tool would: by class,
// text, visibility and enabled state. Toolkit windows are of class "KZWindow" and carry
// their name as window text; each native control is the only child of its container.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "foundation/Platform.h"

class WindowProbe {
public:
    static std::wstring Text(HWND window);
    static std::wstring ClassName(HWND window);
    static bool IsClass(HWND window, const wchar_t* className);

    // Top-level windows of the process, of the class (and with the text, when not null).
    static std::vector<HWND> TopLevel(DWORD processId, const wchar_t* className, const wchar_t* text);
    // Direct child of parent that is a toolkit window with this name.
    static HWND Child(HWND parent, const wchar_t* name);
    // Toolkit window reached from root through the named children, in order.
    static HWND Path(HWND root, std::initializer_list<const wchar_t*> names);
    // The native control inside a toolkit container (its first child).
    static HWND Native(HWND container);

    // The window that receives keyboard input of the thread: its focus, else its active
    // window (as for a person typing with nothing focused).
    static HWND KeyboardTarget(DWORD threadId, HWND fallback);
};
