#include "tests/e2e/WindowProbe.h"

namespace {

struct TopLevelSearch {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* text;
    std::vector<HWND>* found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM parameter)
{
    TopLevelSearch* search = reinterpret_cast<TopLevelSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search->processId != 0 && owner != search->processId)
        return TRUE;
    if (search->className != nullptr && !WindowProbe::IsClass(window, search->className))
        return TRUE;
    if (search->text != nullptr && WindowProbe::Text(window) != search->text)
        return TRUE;
    search->found->push_back(window);
    return TRUE;
}

} // namespace

std::wstring WindowProbe::Text(HWND window)
{
    if (window == nullptr)
        return std::wstring();
    // WM_GETTEXT through SendMessageTimeout: a hung program must not hang the driver.
    wchar_t buffer[4096];
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                             3000, &copied))
        return std::wstring();
    if (copied >= 4096)
        copied = 4095;
    buffer[copied] = 0;
    return std::wstring(buffer);
}

std::wstring WindowProbe::ClassName(HWND window)
{
    wchar_t buffer[256];
    int length = GetClassNameW(window, buffer, 256);
    return length > 0 ? std::wstring(buffer, length) : std::wstring();
}

bool WindowProbe::IsClass(HWND window, const wchar_t* className)
{
    return lstrcmpiW(ClassName(window).c_str(), className) == 0;
}

std::vector<HWND> WindowProbe::TopLevel(DWORD processId, const wchar_t* className, const wchar_t* text)
{
    std::vector<HWND> found;
    TopLevelSearch search = {processId, className, text, &found};
    EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return found;
}

HWND WindowProbe::Child(HWND parent, const wchar_t* name)
{
    if (parent == nullptr)
        return nullptr;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsClass(child, L"KZWindow") && Text(child) == name)
            return child;
    }
    return nullptr;
}

HWND WindowProbe::Path(HWND root, std::initializer_list<const wchar_t*> names)
{
    HWND current = root;
    for (const wchar_t* name : names) {
        current = Child(current, name);
        if (current == nullptr)
            return nullptr;
    }
    return current;
}

HWND WindowProbe::Native(HWND container)
{
    return container != nullptr ? GetWindow(container, GW_CHILD) : nullptr;
}

HWND WindowProbe::KeyboardTarget(DWORD threadId, HWND fallback)
{
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    if (GetGUIThreadInfo(threadId, &info)) {
        if (info.hwndFocus != nullptr)
            return info.hwndFocus;
        if (info.hwndActive != nullptr)
            return info.hwndActive;
    }
    return fallback;
}
