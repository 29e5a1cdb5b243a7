#include "WizardTestSupport.h"

#include "foundation/KZ_EventListener.h"
#include "ui/KZ_UIPopup.h"

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

struct Watchdog {
    HANDLE done;
    DWORD thread;
    DWORD timeoutMs;
    volatile LONG fired;
};

DWORD WINAPI WatchdogProc(LPVOID parameter)
{
    Watchdog* dog = static_cast<Watchdog*>(parameter);
    if (WaitForSingleObject(dog->done, dog->timeoutMs) == WAIT_TIMEOUT) {
        InterlockedExchange(&dog->fired, 1);
        PostThreadMessageW(dog->thread, WM_QUIT, 0, 0);
    }
    return 0;
}

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

bool RunMainLoopFor(DWORD timeoutMs)
{
    Watchdog dog;
    dog.done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    dog.thread = GetCurrentThreadId();
    dog.timeoutMs = timeoutMs;
    dog.fired = 0;
    HANDLE thread = CreateThread(nullptr, 0, WatchdogProc, &dog, 0, nullptr);
    KZ_EventListener::RunMainLoop();
    SetEvent(dog.done);
    if (thread != nullptr) {
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
    }
    CloseHandle(dog.done);
    // The loop forgets the main thread when it ends; the next test posts to it again.
    KZ_EventListener::SetMainThread();
    return dog.fired == 0;
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

RECT Placement(const KZ_UIWindow* window)
{
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(window->GetWindow(), &rect);
    MapWindowPoints(HWND_DESKTOP, ::GetParent(window->GetWindow()),
                    reinterpret_cast<POINT*>(&rect), 2);
    return rect;
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

void SetClientSize(HWND window, int width, int height)
{
    RECT frame = {0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

DialogAnswerer::DialogAnswerer(const wchar_t* caption, std::vector<int> answers, DWORD timeoutMs)
    : caption_(caption), answers_(std::move(answers)), timeoutMs_(timeoutMs), stop_(0),
      answered_(0), thread_(nullptr)
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
        WaitForSingleObject(thread_, 30000);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
}

DWORD WINAPI DialogAnswerer::Watch(LPVOID parameter)
{
    DialogAnswerer* self = static_cast<DialogAnswerer*>(parameter);
    DWORD start = GetTickCount();
    size_t next = 0;
    while (next < self->answers_.size() && self->stop_ == 0 &&
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
        int length = GetDlgItemTextW(find.found, 0xFFFF, text, 2048);
        self->texts_.push_back(std::wstring(text, length > 0 ? length : 0));
        std::vector<int> buttons;
        for (int id = IDOK; id <= IDNO; ++id)
            if (GetDlgItem(find.found, id) != nullptr)
                buttons.push_back(id);
        self->buttons_.push_back(buttons);
        int id = self->answers_[next++];
        PostMessageW(find.found, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(find.found, id)));
        InterlockedIncrement(&self->answered_);
        DWORD gone = GetTickCount();
        while (IsWindow(find.found) && GetTickCount() - gone < 5000)
            Sleep(10);
    }
    return 0;
}

const wchar_t kProductKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kaze-Mar Orlix Player";

void DeleteProductEntry()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProductKey);
}

bool ProductEntryExists()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool WriteProductEntry(const std::wstring& location, const std::wstring& uninstaller,
                       const std::wstring& version)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = true;
    auto set = [&](const wchar_t* name, const std::wstring& value) {
        ok = ok && RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
                       ERROR_SUCCESS;
    };
    set(L"InstallLocation", location);
    set(L"UninstallString", uninstaller);
    if (!version.empty())
        set(L"DisplayVersion", version);
    RegCloseKey(key);
    return ok;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? folder : folder.substr(0, slash);
}

std::wstring ReadTextFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::wstring();
    char buffer[4096];
    DWORD read = 0;
    std::string bytes;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

} // namespace wizard

#include "foundation/ProductDefinition.h"

#include <gtest/gtest.h>
#include <objbase.h>

namespace {

// Process set-up as the setup's entry point does it.
class WizardEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        CoInitialize(nullptr);
        KZ_UIWindow::LoadWindowLibrary(L"Riched32.dll");
        KZ_EventListener::SetMainThread();
        ProductDefinition::SetVersionFile(L"resources\\Zephyrix\\versions\\PlayerVersion.txt");
    }
    void TearDown() override { CoUninitialize(); }
};

::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new WizardEnvironment);

} // namespace
