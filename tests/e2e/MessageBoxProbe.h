// Message boxes ("#32770" dialogs) of another process: found by caption, read, answered by
// pressing one of their buttons.
#pragma once

#include <string>
#include <vector>

#include "foundation/Platform.h"

class MessageBoxProbe {
public:
    // A visible box of the process (any process when 0) with the caption (any when null).
    static HWND Find(DWORD processId, const wchar_t* caption);
    // The message text: the longest static text of the box.
    static std::wstring Text(HWND box);
    // Identifiers (IDOK, IDYES...) of the buttons a person can see.
    static std::vector<int> Buttons(HWND box);
    static bool HasButton(HWND box, int id);
    // Presses the button as a click would: the box ends with that answer.
    static bool Answer(HWND box, int id);
    static std::string Describe(HWND box);
};
