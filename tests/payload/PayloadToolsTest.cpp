// The product's environment tool, viewer control and viewer, run for real from the stage.
#include <gtest/gtest.h>
#include <unknwn.h>

#include <string>
#include <vector>

#include "PayloadTestSupport.h"

using namespace PayloadTest;

namespace {

const DWORD kProgramTimeout = 20000;

std::vector<std::string> SplitCrLf(const std::string& text, bool* everyLineEnded)
{
    std::vector<std::string> lines;
    *everyLineEnded = true;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            *everyLineEnded = false;
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

class SetQorEnv : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = MakeTempFolder(L"kz-setqorenv");
        ASSERT_FALSE(root_.empty());
        install_ = root_ + L"\\Kaze Mar Orlix Player\\intel_a";
        MakeFolders(install_);
    }
    void TearDown() override { RemoveTree(root_); }

    // Runs the tool with the given arguments after its quoted path, as the shell starts it.
    DWORD Run(const std::wstring& arguments)
    {
        DWORD code = 0xFFFF;
        const std::wstring tool = ProgramPath(L"setqorenv.exe");
        EXPECT_TRUE(RunProgram(tool, L"\"" + tool + L"\"" + arguments, kProgramTimeout, &code)) << "did not end";
        return code;
    }

    std::wstring root_;
    std::wstring install_;
};

TEST_F(SetQorEnv, WritesTheEnvironmentFileFromTheSetupsArguments)
{
    const std::wstring parent = root_ + L"\\Kaze Mar Orlix Player";
    // Exactly what the install task passes, line feed included.
    ASSERT_EQ(Run(L" -e Environnement.txt -d \"" + install_ + L"\" -p \"" + parent +
                  L"\" -a global -icon no -menu no -desktop no\n"),
              0u);
    std::string text;
    ASSERT_TRUE(ReadBytes(install_ + L"\\Environnement.txt", &text));
    bool ended = false;
    const std::vector<std::string> lines = SplitCrLf(text, &ended);
    EXPECT_TRUE(ended) << "every line ends with CR LF";
    auto has = [&lines](const std::string& line) {
        for (const std::string& l : lines) {
            if (l == line)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(has("QorInstallDir=" + Narrow(install_))) << text;
    EXPECT_TRUE(has("QorParentDir=" + Narrow(parent))) << text;
    EXPECT_TRUE(has("QorScope=global")) << text;
    EXPECT_TRUE(has("QorBinDir=" + Narrow(install_) + "\\code\\bin")) << text;
    int settings = 0;
    for (const std::string& line : lines) {
        EXPECT_NE(line.find('='), std::string::npos) << line;
        if (line.compare(0, 19, "QorUserSettingPath=") == 0 && line.size() > 19)
            ++settings;
    }
    EXPECT_EQ(settings, 1) << text;
}

TEST_F(SetQorEnv, TrailingSeparatorsAndAMissingParentAreHandled)
{
    // "DIR\" stays a folder (no backslash-quote escaping); the parent defaults to DIR's parent.
    ASSERT_EQ(Run(L" -e env.txt -d \"" + install_ + L"\\\""), 0u);
    std::string text;
    ASSERT_TRUE(ReadBytes(install_ + L"\\env.txt", &text));
    EXPECT_NE(text.find("QorInstallDir=" + Narrow(install_) + "\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("QorParentDir=" + Narrow(root_) + "\\Kaze Mar Orlix Player\r\n"), std::string::npos) << text;
}

TEST_F(SetQorEnv, BadArgumentsExitWithTwoAndWriteNothing)
{
    const std::wstring dir = L" -d \"" + install_ + L"\"";
    EXPECT_EQ(Run(L""), 2u);
    EXPECT_EQ(Run(dir), 2u);                                               // no -e
    EXPECT_EQ(Run(L" -e env.txt"), 2u);                                    // no -d
    EXPECT_EQ(Run(L" -e env.txt" + dir + L" -x y"), 2u);                   // unknown option
    EXPECT_EQ(Run(L" -e env.txt" + dir + L" -a"), 2u);                     // option without value
    EXPECT_EQ(Run(L" -e env.txt" + dir + L" -a everyone"), 2u);            // bad scope
    EXPECT_EQ(Run(L" -e env.txt" + dir + L" -icon maybe"), 2u);            // bad yes/no
    EXPECT_EQ(Run(L" -e env.txt -d \"" + install_), 2u);                   // quote not closed
    EXPECT_EQ(Run(L" -e ..\\escape.txt" + dir), 2u);                       // name with a folder part
    EXPECT_EQ(Run(L" -e c:escape.txt" + dir), 2u);                         // drive-relative name
    EXPECT_FALSE(Exists(install_ + L"\\env.txt"));
    EXPECT_FALSE(Exists(root_ + L"\\Kaze Mar Orlix Player\\escape.txt"));
}

TEST_F(SetQorEnv, UnwritableFolderExitsWithOne)
{
    EXPECT_EQ(Run(L" -e env.txt -d \"" + root_ + L"\\missing\\folder\""), 1u);
}

// A replacement that cannot be made says so and keeps the earlier file whole, with no
// temporary file left: the file held open without delete sharing (a write in place would go
// through), then a folder where the temporary file goes.
TEST_F(SetQorEnv, AFailedReplacementKeepsTheEarlierFile)
{
    const std::wstring file = install_ + L"\\env.txt";
    const std::wstring arguments = L" -e env.txt -d \"" + install_ + L"\"";
    const std::string earlier = "QorScope=earlier\r\n";
    ASSERT_TRUE(WriteBytes(file, earlier));
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Run(arguments), 1u);
    CloseHandle(held);
    MakeFolders(file + L".tmp");
    EXPECT_EQ(Run(arguments), 1u);
    std::string text;
    EXPECT_TRUE(ReadBytes(file, &text) && text == earlier) << text;
    EXPECT_TRUE(RemoveDirectoryW((file + L".tmp").c_str())) << "the blocking folder is left alone";
    EXPECT_EQ(Run(arguments), 0u);
    EXPECT_TRUE(ReadBytes(file, &text) && text.find("QorInstallDir=") == 0) << text;
    EXPECT_FALSE(Exists(file + L".tmp"));
}

// ---------------------------------------------------------------------------------------------

const wchar_t kControlKey[] = L"CLSID\\{A3F0D7E1-52C4-4B8A-8E6D-1C9B2F47E305}";

class ViewerControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteKeyTree(HKEY_CLASSES_ROOT, kControlKey);
        module_ = LoadLibraryW(ProgramPath(L"ZephyrixOCXViewer.ocx").c_str());
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override
    {
        if (module_)
            FreeLibrary(module_);
        DeleteKeyTree(HKEY_CLASSES_ROOT, kControlKey);
    }
    template <class F>
    F Export(const char* name)
    {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    HMODULE module_ = nullptr;
};

typedef HRESULT(STDAPICALLTYPE* NoArguments)();
typedef HRESULT(STDAPICALLTYPE* GetClassObject)(REFCLSID, REFIID, void**);

TEST_F(ViewerControl, RegisterWritesTheClassKeyAndUnregisterRemovesIt)
{
    NoArguments registerServer = Export<NoArguments>("DllRegisterServer");
    NoArguments unregisterServer = Export<NoArguments>("DllUnregisterServer");
    ASSERT_NE(registerServer, nullptr);
    ASSERT_NE(unregisterServer, nullptr);

    ASSERT_EQ(registerServer(), S_OK);
    std::wstring text;
    ASSERT_TRUE(ReadRegistryText(HKEY_CLASSES_ROOT, kControlKey, nullptr, &text));
    EXPECT_FALSE(text.empty());
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(module_, path, MAX_PATH);
    ASSERT_TRUE(ReadRegistryText(HKEY_CLASSES_ROOT, std::wstring(kControlKey) + L"\\InprocServer32", nullptr, &text));
    EXPECT_EQ(text, path);
    ASSERT_TRUE(ReadRegistryText(HKEY_CLASSES_ROOT, std::wstring(kControlKey) + L"\\InprocServer32",
                                 L"ThreadingModel", &text));
    EXPECT_EQ(text, L"Apartment");

    // The setup adds its own value to the class key; unregistering takes the whole key.
    ASSERT_TRUE(SetRegistryText(HKEY_CLASSES_ROOT, kControlKey, L"Marker", L"x"));
    EXPECT_EQ(unregisterServer(), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kControlKey));
    // Already gone: still done.
    EXPECT_EQ(unregisterServer(), S_OK);
}

TEST_F(ViewerControl, HandsOutNoClassObjects)
{
    GetClassObject getClassObject = Export<GetClassObject>("DllGetClassObject");
    NoArguments canUnload = Export<NoArguments>("DllCanUnloadNow");
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnload, nullptr);
    void* object = reinterpret_cast<void*>(1);
    const CLSID clsid = {0xA3F0D7E1, 0x52C4, 0x4B8A, {0x8E, 0x6D, 0x1C, 0x9B, 0x2F, 0x47, 0xE3, 0x05}};
    EXPECT_EQ(getClassObject(clsid, IID_IUnknown, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(canUnload(), S_OK);
}

// ---------------------------------------------------------------------------------------------

struct WindowSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindViewerWindow(HWND window, LPARAM parameter)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[64];
    if (process == search->process && GetClassNameW(window, name, 64) && lstrcmpW(name, L"OrlixPlayerViewer") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

class Viewer : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = MakeTempFolder(L"kz-viewer");
        ASSERT_FALSE(root_.empty());
        document_ = root_ + L"\\Sample scene.orlix";
        environment_ = root_ + L"\\Environnement.txt";
        ASSERT_TRUE(WriteBytes(document_, "ORLIX 1.0\r\nscene \"Test cube\"\r\nvertex 0 0 0\r\n"));
        ASSERT_TRUE(WriteBytes(environment_, "QorScope=global\r\n"));
    }
    void TearDown() override
    {
        if (process_.hProcess) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 5000);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        RemoveTree(root_);
    }

    // Starts the viewer and waits (bounded) for its window; returns the window's text view text.
    // The window exists before its creation message has filled the view, and a cold prefix can start
    // the first program slowly, so the test waits for the viewer's loop to go idle and re-reads the view.
    std::wstring StartAndRead(const std::wstring& application, const std::wstring& commandLine, std::wstring* caption)
    {
        if (!StartProgram(application, commandLine, &process_)) {
            ADD_FAILURE() << "the viewer did not start";
            return std::wstring();
        }
        WaitForInputIdle(process_.hProcess, kProgramTimeout);
        WindowSearch search = {process_.dwProcessId, nullptr};
        for (int i = 0; i < 400 && !search.found; ++i) {
            EnumWindows(FindViewerWindow, reinterpret_cast<LPARAM>(&search));
            if (!search.found)
                Sleep(50);
        }
        window_ = search.found;
        if (!window_) {
            ADD_FAILURE() << "no viewer window";
            return std::wstring();
        }
        HWND view = GetDlgItem(window_, 100);
        std::vector<wchar_t> buffer(65536);
        for (int i = 0; i < 200; ++i) {
            buffer[0] = 0;
            DWORD_PTR copied = 0;
            SendMessageTimeoutW(view, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), 0,
                                5000, &copied);
            if (buffer[0])
                break;
            Sleep(50);
        }
        wchar_t text[512];
        GetWindowTextW(window_, text, 512);
        *caption = text;
        return std::wstring(buffer.data());
    }

    // Closing the window ends the program with exit code 0.
    void CloseAndExpectExit()
    {
        ASSERT_NE(window_, nullptr);
        PostMessageW(window_, WM_CLOSE, 0, 0);
        ASSERT_EQ(WaitForSingleObject(process_.hProcess, kProgramTimeout), WAIT_OBJECT_0);
        DWORD code = 99;
        GetExitCodeProcess(process_.hProcess, &code);
        EXPECT_EQ(code, 0u);
    }

    std::wstring root_;
    std::wstring document_;
    std::wstring environment_;
    PROCESS_INFORMATION process_ = {};
    HWND window_ = nullptr;
};

TEST_F(Viewer, ShowsTheDocumentAndTheEnvironmentFile)
{
    const std::wstring player = ProgramPath(L"OrlixPlayer.exe");
    std::wstring caption;
    const std::wstring text = StartAndRead(
        player, L"\"" + player + L"\" \"" + document_ + L"\" -env \"" + environment_ + L"\"", &caption);
    EXPECT_NE(text.find(L"Document: " + document_ + L"\r\n"), std::wstring::npos) << Narrow(text);
    EXPECT_NE(text.find(L"Environment file: " + environment_ + L"\r\n"), std::wstring::npos) << Narrow(text);
    EXPECT_NE(text.find(L"scene \"Test cube\"\r\n"), std::wstring::npos) << Narrow(text);
    EXPECT_EQ(caption, L"Kaze Mar Orlix Player - Sample scene.orlix");
    CloseAndExpectExit();
}

TEST_F(Viewer, OpenCommandWithAnUnquotedProgramPathHoldingBlanks)
{
    // The registered open command does not quote the program's path.
    const std::wstring folder = root_ + L"\\Program Files\\Kaze Mar";
    MakeFolders(folder);
    const std::wstring player = folder + L"\\OrlixPlayer.exe";
    ASSERT_TRUE(CopyFileW(ProgramPath(L"OrlixPlayer.exe").c_str(), player.c_str(), FALSE));
    std::wstring caption;
    const std::wstring text =
        StartAndRead(player, player + L" \"" + document_ + L"\" -env \"" + environment_ + L"\"", &caption);
    EXPECT_NE(text.find(L"Document: " + document_ + L"\r\n"), std::wstring::npos) << Narrow(text);
    EXPECT_NE(text.find(L"Environment file: " + environment_ + L"\r\n"), std::wstring::npos) << Narrow(text);
    CloseAndExpectExit();
}

TEST_F(Viewer, StartedByComShowsAnEmptyViewer)
{
    const std::wstring player = ProgramPath(L"OrlixPlayer.exe");
    std::wstring caption;
    const std::wstring text =
        StartAndRead(player, L"\"" + player + L"\" -env \"" + environment_ + L"\" -Embedding", &caption);
    EXPECT_NE(text.find(L"Started by COM"), std::wstring::npos) << Narrow(text);
    EXPECT_NE(text.find(L"Document: (none)"), std::wstring::npos) << Narrow(text);
    EXPECT_EQ(caption, L"Kaze Mar Orlix Player");
    CloseAndExpectExit();
}

TEST_F(Viewer, MissingDocumentIsSaidSo)
{
    const std::wstring player = ProgramPath(L"OrlixPlayer.exe");
    std::wstring caption;
    const std::wstring text = StartAndRead(player, L"\"" + player + L"\" \"" + root_ + L"\\gone.orlix\"", &caption);
    EXPECT_NE(text.find(L"cannot be opened"), std::wstring::npos) << Narrow(text);
    CloseAndExpectExit();
}

} // namespace
