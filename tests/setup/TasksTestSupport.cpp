#include "TasksTestSupport.h"

#include "foundation/KZ_EventListener.h"

#include <objbase.h>

namespace tasks {

std::wstring MakeTempFolder(const wchar_t* name)
{
    wchar_t buffer[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH, buffer);
    std::wstring base(buffer, length);
    if (!base.empty() && base.back() == L'\\')
        base.pop_back();
    static LONG counter = 0;
    std::wstring path = base + L"\\kz_tasks_" + name + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                        std::to_wstring(InterlockedIncrement(&counter));
    RemoveTree(path);
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

void RemoveTree(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name != L"." && name != L"..")
                RemoveTree(path + L"\\" + name);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                                written == bytes.size());
    CloseHandle(file);
    return ok;
}

bool ReadBytes(const std::wstring& path, std::string* bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes->clear();
    char buffer[65536];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof(buffer), &read, nullptr) != 0) && read > 0)
        bytes->append(buffer, read);
    CloseHandle(file);
    return ok;
}

bool FileExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void DeleteKeyTree(HKEY root, const std::wstring& path)
{
    RegDeleteTreeW(root, path.c_str());
    RegDeleteKeyW(root, path.c_str());
}

bool ReadValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD* type, std::string* data)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        data->assign(size, '\0');
        status = RegQueryValueExW(key, name, nullptr, type, size ? reinterpret_cast<BYTE*>(&(*data)[0]) : nullptr,
                                  &size);
        data->resize(size);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool ReadText(HKEY root, const std::wstring& path, const wchar_t* name, std::wstring* text, DWORD* size)
{
    DWORD type = 0;
    std::string data;
    if (!ReadValue(root, path, name, &type, &data) || type != REG_SZ || data.size() % 2 != 0)
        return false;
    text->assign(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
    if (!text->empty() && text->back() == L'\0')
        text->pop_back();
    if (size != nullptr)
        *size = static_cast<DWORD>(data.size());
    return true;
}

bool SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

std::wstring GuidText(const GUID& guid)
{
    wchar_t buffer[64];
    int length = StringFromGUID2(guid, buffer, 64);
    return length > 0 ? std::wstring(buffer) : std::wstring();
}

std::wstring CurrentDirectory()
{
    wchar_t buffer[MAX_PATH + 1];
    DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, length <= MAX_PATH ? length : 0);
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    std::wstring x = a, y = b;
    while (!x.empty() && x.back() == L'\\')
        x.pop_back();
    while (!y.empty() && y.back() == L'\\')
        y.pop_back();
    return lstrcmpiW(x.c_str(), y.c_str()) == 0;
}

DialogAnswerer::DialogAnswerer(const wchar_t* caption, int buttonId, DWORD timeoutMs)
    : caption_(caption), buttonId_(buttonId), timeoutMs_(timeoutMs), stop_(0), answered_(0), thread_(nullptr)
{
    thread_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
}

DialogAnswerer::~DialogAnswerer()
{
    Stop();
}

void DialogAnswerer::Stop()
{
    if (thread_ == nullptr)
        return;
    InterlockedExchange(&stop_, 1);
    WaitForSingleObject(thread_, timeoutMs_ + 5000);
    CloseHandle(thread_);
    thread_ = nullptr;
}

DWORD WINAPI DialogAnswerer::Watch(LPVOID parameter)
{
    DialogAnswerer* self = static_cast<DialogAnswerer*>(parameter);
    DWORD start = GetTickCount();
    while (!self->stop_ && GetTickCount() - start < self->timeoutMs_) {
        HWND dialog = FindWindowW(L"#32770", self->caption_.c_str());
        if (dialog != nullptr && IsWindowVisible(dialog)) {
            wchar_t text[1024] = L"";
            // The message box's text control.
            GetDlgItemTextW(dialog, 0xFFFF, text, 1024);
            self->text_ = text;
            HWND button = GetDlgItem(dialog, self->buttonId_);
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(self->buttonId_, BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
            InterlockedIncrement(&self->answered_);
            // Let the box close before looking again.
            DWORD closing = GetTickCount();
            while (IsWindow(dialog) && GetTickCount() - closing < 5000)
                Sleep(20);
        }
        Sleep(20);
    }
    return 0;
}

namespace {
volatile LONG timedOut = 0;
void CALLBACK OnTimeout(HWND, UINT, UINT_PTR, DWORD)
{
    InterlockedExchange(&timedOut, 1);
    PostQuitMessage(0);
}
} // namespace

void PrepareMainThread()
{
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    KZ_EventListener::SetMainThread();
}

bool RunMainLoopFor(DWORD timeoutMs)
{
    InterlockedExchange(&timedOut, 0);
    UINT_PTR timer = SetTimer(nullptr, 0, timeoutMs, OnTimeout);
    KZ_EventListener::RunMainLoop();
    KillTimer(nullptr, timer);
    return timedOut == 0;
}

} // namespace tasks
