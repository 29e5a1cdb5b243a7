#include "tests/e2e/MessageBoxProbe.h"

#include "tests/e2e/DriverLog.h"
#include "tests/e2e/WindowProbe.h"

HWND MessageBoxProbe::Find(DWORD processId, const wchar_t* caption)
{
    for (HWND box : WindowProbe::TopLevel(processId, L"#32770", caption)) {
        if (IsWindowVisible(box))
            return box;
    }
    return nullptr;
}

std::wstring MessageBoxProbe::Text(HWND box)
{
    std::wstring longest;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!WindowProbe::IsClass(child, L"Static"))
            continue;
        std::wstring text = WindowProbe::Text(child);
        if (text.size() > longest.size())
            longest = text;
    }
    return longest;
}

std::vector<int> MessageBoxProbe::Buttons(HWND box)
{
    std::vector<int> ids;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (WindowProbe::IsClass(child, L"Button") && IsWindowVisible(child))
            ids.push_back(GetDlgCtrlID(child));
    }
    return ids;
}

bool MessageBoxProbe::HasButton(HWND box, int id)
{
    for (int each : Buttons(box)) {
        if (each == id)
            return true;
    }
    return false;
}

bool MessageBoxProbe::Answer(HWND box, int id)
{
    HWND button = GetDlgItem(box, id);
    if (button == nullptr || !IsWindowVisible(button))
        return false;
    // Posted: the box's owner may react by opening the next box, which must not block us.
    return PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != 0;
}

std::string MessageBoxProbe::Describe(HWND box)
{
    std::string description = "\"" + DriverLog::Utf8(WindowProbe::Text(box)) + "\": \"" +
                              DriverLog::Utf8(Text(box)) + "\" buttons";
    for (int id : Buttons(box))
        description += " " + std::to_string(id);
    return description;
}
