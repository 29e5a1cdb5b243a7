#include "WizardTestSupport.h"

#include "foundation/KZ_EventListener.h"
#include "ui/KZ_UIPopup.h"
#include "ui/UILayoutCell.h"
#include "tests/support/TestRegistry.h"

#include <gtest/gtest.h>

namespace wizard {

namespace {

// A WM_QUIT taken out of the queue by a pump, kept for TakeQuit.
bool g_quitSeen = false;

bool DeliverOne(MSG& message, bool* quit)
{
    if (message.message == WM_QUIT) {
        *quit = true;
        g_quitSeen = true;
        return true;
    }
    if (KZ_EventListener::DeliverPosted(message))
        return true;
    if (KZ_UIPopup::PreTranslateKey(&message))
        return true;
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return true;
}

} // namespace

bool Pump(DWORD maxMs)
{
    bool quit = false;
    DWORD start = GetTickCount();
    DWORD idleSince = GetTickCount();
    MSG message;
    while (GetTickCount() - start < maxMs) {
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DeliverOne(message, &quit);
            idleSince = GetTickCount();
            continue;
        }
        if (GetTickCount() - idleSince >= 80)
            break;
        Sleep(5);
    }
    return quit;
}

bool PumpUntil(const std::function<bool()>& done, DWORD maxMs)
{
    bool quit = false;
    DWORD start = GetTickCount();
    MSG message;
    while (!done()) {
        if (GetTickCount() - start >= maxMs)
            return false;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DeliverOne(message, &quit);
        else
            Sleep(5);
    }
    return true;
}

bool TakeQuit()
{
    MSG message;
    bool queued = PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    bool seen = g_quitSeen;
    g_quitSeen = false;
    return queued || seen;
}

void Click(HWND control)
{
    SendMessageW(control, BM_CLICK, 0, 0);
    Pump();
}

std::wstring WindowText(HWND window)
{
    wchar_t text[1024];
    int length = GetWindowTextW(window, text, 1024);
    return std::wstring(text, length > 0 ? length : 0);
}

bool IsVisible(const KZ_UIWindow* window)
{
    return window != nullptr && window->GetWindow() != nullptr &&
           (GetWindowLongPtrW(window->GetWindow(), GWL_STYLE) & WS_VISIBLE) != 0;
}

KZ_UIWindow* Child(KZ_UIWindow* parent, const wchar_t* name)
{
    if (parent == nullptr)
        return nullptr;
    for (KZ_UIWindow* child = parent->GetFirstChild(); child != nullptr;
         child = child->GetNextSibling())
        if (child->GetName() == name)
            return child;
    return nullptr;
}

std::vector<std::wstring> ChildNames(KZ_UIWindow* parent)
{
    std::vector<std::wstring> names;
    for (KZ_UIWindow* child = parent->GetFirstChild(); child != nullptr;
         child = child->GetNextSibling())
        names.push_back(child->GetName().IsEmpty() ? std::wstring() : child->GetName().c_str());
    return names;
}

void ExpectCell(KZ_UIWindow* window, int column, int row, int columnSpan, int rowSpan, int flags)
{
    ASSERT_NE(window, nullptr);
    UILayoutCell* cell = window->GetLayoutCell();
    ASSERT_NE(cell, nullptr) << window->GetName().c_str();
    EXPECT_EQ(cell->column, column) << window->GetName().c_str();
    EXPECT_EQ(cell->row, row) << window->GetName().c_str();
    EXPECT_EQ(cell->columnSpan, columnSpan) << window->GetName().c_str();
    EXPECT_EQ(cell->rowSpan, rowSpan) << window->GetName().c_str();
    EXPECT_EQ(cell->flags, flags) << window->GetName().c_str();
}

void SetClientSize(HWND window, int width, int height)
{
    RECT frame = {0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

const wchar_t kProductKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kaze-Mar Orlix Player";

void DeleteProductEntry()
{
    kztest::DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
}

bool ProductEntryExists()
{
    return kztest::KeyExists(HKEY_LOCAL_MACHINE, kProductKey);
}

bool WriteProductEntry(const std::wstring& location, const std::wstring& uninstaller,
                       const std::wstring& version)
{
    return kztest::SetText(HKEY_LOCAL_MACHINE, kProductKey, L"InstallLocation", location) &&
           kztest::SetText(HKEY_LOCAL_MACHINE, kProductKey, L"UninstallString", uninstaller) &&
           (version.empty() || kztest::SetText(HKEY_LOCAL_MACHINE, kProductKey, L"DisplayVersion", version));
}

} // namespace wizard
