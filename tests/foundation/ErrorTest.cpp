// The error record, with the test archive embedded in this executable for its lookups.
#include "foundation/PlatformError.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ErrorRecordTest : public ::testing::Test {
protected:
    void SetUp() override { PlatformError::Clear(); }
    void TearDown() override { PlatformError::Clear(); }
};

TEST_F(ErrorRecordTest, MessageIsErrorTextAloneWithoutContext)
{
    PlatformError::SetError(nullptr, L"Archive.NotOpen");
    EXPECT_TRUE(PlatformError::GetErrorText() == L"Archive.NotOpen");
    EXPECT_TRUE(PlatformError::GetMessage() == L"Archive.NotOpen");
    PlatformError::SetError(nullptr, L"OutOfMemory");
    EXPECT_TRUE(PlatformError::GetMessage() == L"Out of memory, memory allocation failed");
}

TEST_F(ErrorRecordTest, OneContextLineHeadsTheText)
{
    PlatformError::SetError(nullptr, L"S");
    PlatformError::AddContext(nullptr, L"GetTempPath");
    EXPECT_TRUE(PlatformError::GetMessage() == L"Failed to get temporary directory\nS");
}

TEST_F(ErrorRecordTest, CompositionWithSeveralContextLines)
{
    PlatformError::SetError(nullptr, L"S");
    PlatformError::AddContext(nullptr, L"GetTempPath");
    PlatformError::AddContext(nullptr, L"WriteFile");
    PlatformError::AddContext(nullptr, L"ReadFile");
    EXPECT_TRUE(PlatformError::GetMessage() == L"Failed to get temporary directory\nS\n\nFile write operation failed\nFile read operation failed");
    WStringArray context = PlatformError::GetContext();
    ASSERT_EQ(3, context.Count());
    EXPECT_TRUE(context.At(0) == L"Failed to get temporary directory");
    EXPECT_TRUE(context.At(2) == L"File read operation failed");
}

TEST_F(ErrorRecordTest, SetErrorClearsContextAddContextKeepsIt)
{
    PlatformError::SetError(nullptr, L"First");
    PlatformError::AddContext(nullptr, L"GetTempPath");
    PlatformError::AddContext(nullptr, L"FindResource", WString(L"RESOURCES (KZ)"));
    EXPECT_EQ(2, PlatformError::GetContext().Count());
    EXPECT_TRUE(PlatformError::GetContext().At(1) == L"Program resource [RESOURCES (KZ)] is missing");
    PlatformError::SetError(nullptr, L"Second");
    EXPECT_EQ(0, PlatformError::GetContext().Count());
    EXPECT_TRUE(PlatformError::GetMessage() == L"Second");
    WStringArray two;
    two.Append(L"from");
    two.Append(L"to");
    PlatformError::SetError(nullptr, L"CopyFile", two);
    EXPECT_TRUE(PlatformError::GetErrorText() == L"Failed to copy file [from] to [to]");
    PlatformError::SetSystemError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, PlatformError::GetContext().Count());
}

TEST_F(ErrorRecordTest, SystemTextOfFileNotFound)
{
    PlatformError::AddContext(nullptr, L"GetTempPath");
    PlatformError::SetSystemError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(0, PlatformError::GetContext().Count());
    WString text = PlatformError::GetErrorText();
    ASSERT_GE(text.Length(), 3);
    EXPECT_EQ(L'\r', text[text.Length() - 2]);
    EXPECT_EQ(L'\n', text[text.Length() - 1]);

    LPWSTR expected = nullptr;
    DWORD units = FormatMessageW(0x1300, nullptr, ERROR_FILE_NOT_FOUND, 0x400,
                                 reinterpret_cast<LPWSTR>(&expected), 0, nullptr);
    ASSERT_GT(units, 0u);
    EXPECT_TRUE(text == expected);
    LocalFree(expected);

    // The last error of the calling thread.
    SetLastError(ERROR_FILE_NOT_FOUND);
    PlatformError::SetSystemError();
    EXPECT_TRUE(PlatformError::GetErrorText() == text);
    // A full composition with the system text in its place.
    PlatformError::AddContext(nullptr, L"GetTempPath");
    PlatformError::AddContext(nullptr, L"WriteFile");
    PlatformError::AddContext(nullptr, L"ReadFile");
    EXPECT_TRUE(PlatformError::GetMessage() ==
                WString(L"Failed to get temporary directory\n") + text + L"\n\nFile write operation failed\nFile read operation failed");
}

TEST_F(ErrorRecordTest, CodeWithoutSystemTextGivesEmptyText)
{
    PlatformError::SetError(nullptr, L"Before");
    PlatformError::SetSystemError(0x2FFFFFFF);
    EXPECT_TRUE(PlatformError::GetErrorText().IsEmpty());
}

TEST_F(ErrorRecordTest, FailedLookupStaysBeneathAddedContext)
{
    PlatformError::SetError(nullptr, L"Original");
    // The catalog is not in the archive: the lookup records the archive's own failure
    // before the line is appended.
    PlatformError::AddContext("KZ_NoSuchCatalog", L"Some.Context");
    WStringArray context = PlatformError::GetContext();
    ASSERT_GE(context.Count(), 1);
    EXPECT_TRUE(context.At(context.Count() - 1) == L"Some.Context");
    EXPECT_FALSE(PlatformError::GetErrorText() == L"Original");
    // SetError overwrites what its own lookup recorded.
    PlatformError::SetError("KZ_NoSuchCatalog", L"Own.Failure");
    EXPECT_TRUE(PlatformError::GetErrorText() == L"Own.Failure");
    EXPECT_EQ(0, PlatformError::GetContext().Count());
}

// Answers the error box from another thread: finds it by caption, checks its buttons and
// text, and presses the button given.
struct BoxAnswer {
    int press = 0;
    HWND expectedOwner = nullptr;
    bool found = false;
    bool hasRetry = false, hasCancel = false, hasOk = false;
    bool ownerMatches = false;
    std::wstring text;
};

bool Visible(HWND box, int id)
{
    HWND button = GetDlgItem(box, id);
    return button != nullptr && IsWindowVisible(button);
}

DWORD WINAPI AnswerBox(LPVOID parameter)
{
    BoxAnswer* answer = static_cast<BoxAnswer*>(parameter);
    HWND box = nullptr;
    for (int i = 0; i < 1000 && box == nullptr; ++i) {
        box = FindWindowW(L"#32770", L"Error");
        if (box == nullptr)
            Sleep(10);
    }
    if (box == nullptr)
        return 1;
    // The box is found before it is shown; its buttons count as visible only once it is.
    for (int i = 0; i < 1000 && !IsWindowVisible(box); ++i)
        Sleep(10);
    Sleep(50);      // let the box finish its initialisation
    answer->found = true;
    answer->hasRetry = Visible(box, IDRETRY);
    answer->hasCancel = Visible(box, IDCANCEL);
    answer->hasOk = Visible(box, IDOK);
    answer->ownerMatches = GetWindow(box, GW_OWNER) == answer->expectedOwner;
    wchar_t text[512] = {0};
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    answer->text = text;
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer->press, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, answer->press)));
    return 0;
}

bool ShowAndAnswer(HWND owner, bool allowRetry, BoxAnswer* answer)
{
    HANDLE watcher = CreateThread(nullptr, 0, AnswerBox, answer, 0, nullptr);
    EXPECT_NE(nullptr, watcher);
    bool result = PlatformError::ShowMessageBox(owner, allowRetry);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(watcher, 15000));
    CloseHandle(watcher);
    return result;
}

TEST_F(ErrorRecordTest, MessageBoxRetryCancel)
{
    PlatformError::SetError(nullptr, L"S");
    PlatformError::AddContext(nullptr, L"GetTempPath");
    BoxAnswer retry;
    retry.press = IDRETRY;
    EXPECT_TRUE(ShowAndAnswer(nullptr, true, &retry));
    ASSERT_TRUE(retry.found);
    EXPECT_TRUE(retry.hasRetry);
    EXPECT_TRUE(retry.hasCancel);
    EXPECT_FALSE(retry.hasOk);
    EXPECT_EQ(L"Failed to get temporary directory\nS", retry.text);

    BoxAnswer cancel;
    cancel.press = IDCANCEL;
    EXPECT_FALSE(ShowAndAnswer(nullptr, true, &cancel));
    EXPECT_TRUE(cancel.found);

    // A box that cannot be shown (its owner is gone) is no Retry: the caller quits.
    HWND gone = CreateWindowExW(0, L"STATIC", L"Gone", 0, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, gone);
    DestroyWindow(gone);
    EXPECT_FALSE(PlatformError::ShowMessageBox(gone, true));
}

TEST_F(ErrorRecordTest, MessageBoxOkWithOwner)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, owner);
    PlatformError::SetError(nullptr, L"Only text");
    BoxAnswer ok;
    ok.press = IDOK;
    ok.expectedOwner = owner;
    EXPECT_TRUE(ShowAndAnswer(owner, false, &ok));
    EXPECT_TRUE(ok.found);
    EXPECT_TRUE(ok.hasOk);
    EXPECT_FALSE(ok.hasRetry);
    EXPECT_TRUE(ok.ownerMatches);
    EXPECT_EQ(L"Only text", ok.text);
    DestroyWindow(owner);
}

} // namespace
