// OrlixPlayer.exe: the product's viewer and local server.
//
//   OrlixPlayer.exe ["DOCUMENT"] [-env "ENVIRONMENT FILE"] [-Embedding | -Automation]
//
// Opens one window that shows the document's path, the environment file's path and the first
// lines of the document as text. Started by COM (-Embedding, -Automation) it shows an empty
// viewer. Documents dropped on the window replace the shown one. Ends when the window closes.
#include <windows.h>
#include <shellapi.h>

#include "foundation/PathText.h"
#include "foundation/ProductConstants.h"
#include "foundation/ScopedHandle.h"
#include "payload/programs/common/CommandLine.h"

namespace {

const wchar_t kWindowClass[] = L"OrlixPlayerViewer";
const int kTextId = 100;
const int kMaxPath = 1024;
const int kPreviewBytes = 16 * 1024;   // read from the start of a document
const int kPreviewLines = 60;
const int kTextCapacity = 3 * kPreviewBytes + 4 * kMaxPath;

struct ViewerState {
    wchar_t document[kMaxPath];
    wchar_t environment[kMaxPath];
    bool embedded;
    HWND text;
    ScopedGdiObject<HFONT> font;
};

ViewerState g_state;

void AppendText(wchar_t* buffer, int capacity, const wchar_t* text)
{
    const int used = lstrlenW(buffer);
    lstrcpynW(buffer + used, text, capacity - used);
}

// The length without a UTF-8 sequence cut off at the end of a partly read document.
int CompleteUtf8Length(const unsigned char* bytes, int size)
{
    int start = size;
    while (start > 0 && size - start < 4 && (bytes[start - 1] & 0xC0) == 0x80)
        --start;
    if (start == 0 || bytes[start - 1] < 0xC0)
        return size;
    const unsigned char lead = bytes[start - 1];
    const int needed = lead >= 0xF0 ? 4 : (lead >= 0xE0 ? 3 : 2);
    return size - (start - 1) < needed ? start - 1 : size;
}

// Decodes the bytes of a document: UTF-16 with a byte-order mark, UTF-8 when the bytes are
// valid UTF-8, the ANSI code page otherwise. LF line ends become CR LF for the edit control;
// at most kPreviewLines lines are kept.
void DecodePreview(const unsigned char* bytes, int size, wchar_t* out, int capacity)
{
    const ScopedHeapBlock<wchar_t> block(
        static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (kPreviewBytes + 1) * sizeof(wchar_t))));
    wchar_t* const decoded = block.get();
    if (!decoded) {
        out[0] = 0;
        return;
    }
    int units = 0;
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        units = (size - 2) / 2;
        CopyMemory(decoded, bytes + 2, units * sizeof(wchar_t));
    } else {
        int skip = (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) ? 3 : 0;
        if (size == kPreviewBytes)
            size = CompleteUtf8Length(bytes, size);
        units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(bytes) + skip,
                                    size - skip, decoded, kPreviewBytes);
        if (units <= 0)
            units = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes), size, decoded,
                                        kPreviewBytes);
        if (units < 0)
            units = 0;
    }
    int used = 0;
    int lines = 0;
    for (int i = 0; i < units && used + 2 < capacity; ++i) {
        wchar_t c = decoded[i];
        if (c == 0)
            c = L' ';
        if (c == L'\r')
            continue;
        if (c == L'\n') {
            out[used++] = L'\r';
            out[used++] = L'\n';
            if (++lines == kPreviewLines)
                break;
            continue;
        }
        out[used++] = c;
    }
    out[used] = 0;
}

// Fills the text view from the current state.
void ShowState(HWND window)
{
    const ScopedHeapBlock<wchar_t> block(
        static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, kTextCapacity * sizeof(wchar_t))));
    wchar_t* const text = block.get();
    if (!text)
        return;
    text[0] = 0;
    if (g_state.embedded)
        AppendText(text, kTextCapacity, L"Started by COM: waiting for a document.\r\n");
    AppendText(text, kTextCapacity, L"Document: ");
    AppendText(text, kTextCapacity, g_state.document[0] ? g_state.document : L"(none)");
    AppendText(text, kTextCapacity, L"\r\nEnvironment file: ");
    AppendText(text, kTextCapacity, g_state.environment[0] ? g_state.environment : L"(none)");
    AppendText(text, kTextCapacity, L"\r\n");

    wchar_t title[kMaxPath + 64];
    lstrcpyW(title, Product::kDisplayName);
    if (g_state.document[0]) {
        const wchar_t* name = g_state.document + PathText::LastSeparator(g_state.document) + 1;
        AppendText(title, kMaxPath + 64, L" - ");
        AppendText(title, kMaxPath + 64, name);

        const ScopedFile file(CreateFileW(g_state.document, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            AppendText(text, kTextCapacity, L"\r\nThe document cannot be opened.\r\n");
        } else {
            const ScopedHeapBlock<unsigned char> bytes(
                static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, kPreviewBytes)));
            DWORD read = 0;
            if (bytes && ReadFile(file.get(), bytes.get(), kPreviewBytes, &read, nullptr)) {
                AppendText(text, kTextCapacity, L"\r\n");
                const int used = lstrlenW(text);
                DecodePreview(bytes.get(), static_cast<int>(read), text + used, kTextCapacity - used);
            } else {
                AppendText(text, kTextCapacity, L"\r\nThe document cannot be read.\r\n");
            }
        }
    }
    SetWindowTextW(window, title);
    SetWindowTextW(g_state.text, text);
}

bool IsOption(const wchar_t* argument, const wchar_t* name)
{
    return (argument[0] == L'-' || argument[0] == L'/') && lstrcmpiW(argument + 1, name) == 0;
}

void ParseArguments()
{
    const wchar_t* arguments = CommandLine::Arguments(GetCommandLineW());
    const int length = lstrlenW(arguments);
    const ScopedHeapBlock<wchar_t> block(
        static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t))));
    wchar_t* const buffer = block.get();
    if (!buffer)
        return;
    CopyMemory(buffer, arguments, (length + 1) * sizeof(wchar_t));
    wchar_t* list[16];
    const int count = CommandLine::Split(buffer, list, 16);
    for (int i = 0; i < count; ++i) {
        if (IsOption(list[i], L"env") && i + 1 < count)
            lstrcpynW(g_state.environment, list[++i], kMaxPath);
        else if (IsOption(list[i], L"Embedding") || IsOption(list[i], L"Automation"))
            g_state.embedded = true;
        else if (!g_state.document[0] && list[i][0] != L'-')
            lstrcpynW(g_state.document, list[i], kMaxPath);
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        g_state.text = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                       WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                           ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                                       0, 0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)),
                                       reinterpret_cast<CREATESTRUCTW*>(lParam)->hInstance, nullptr);
        if (!g_state.text)
            return -1;
        g_state.font.reset(CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                       FIXED_PITCH | FF_MODERN, L"Consolas"));
        if (g_state.font)
            SendMessageW(g_state.text, WM_SETFONT, reinterpret_cast<WPARAM>(g_state.font.get()), FALSE);
        DragAcceptFiles(window, TRUE);
        ShowState(window);
        return 0;
    }
    case WM_SIZE:
        MoveWindow(g_state.text, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        SetFocus(g_state.text);
        return 0;
    case WM_DROPFILES: {
        HDROP drop = reinterpret_cast<HDROP>(wParam);
        if (DragQueryFileW(drop, 0, g_state.document, kMaxPath) > 0) {
            g_state.embedded = false;
            ShowState(window);
        }
        DragFinish(drop);
        return 0;
    }
    case WM_DESTROY:
        g_state.font.reset();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    ParseArguments();

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, L"APPICON");
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&windowClass))
        return 1;

    HWND window = CreateWindowExW(WS_EX_ACCEPTFILES, kWindowClass, Product::kDisplayName, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 720, 520, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, show);
    UpdateWindow(window);

    MSG message;
    BOOL got;
    while ((got = ::GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1)
            return 1;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
