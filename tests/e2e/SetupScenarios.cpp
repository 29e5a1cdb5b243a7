#include "tests/e2e/SetupScenarios.h"

#include <set>
#include <vector>

#include "foundation/Platform.h"
#include <commctrl.h>
#include <shlobj.h>

#include "tests/e2e/DriverLog.h"
#include "tests/e2e/FileProbe.h"
#include "tests/e2e/HtmlHandlerStandIn.h"
#include "tests/e2e/InstallCheck.h"
#include "tests/e2e/InstallCleanup.h"
#include "tests/e2e/InstallSnapshot.h"
#include "tests/e2e/InterruptedInstall.h"
#include "tests/e2e/MessageBoxProbe.h"
#include "tests/e2e/ProductFacts.h"
#include "tests/e2e/RegistryProbe.h"
#include "tests/e2e/ScreenCapture.h"
#include "tests/e2e/SetupView.h"
#include "tests/e2e/WindowProbe.h"
#include "tests/e2e/WizardSession.h"

namespace {

std::string Utf8(const std::wstring& text)
{
    return DriverLog::Utf8(text);
}

} // namespace
using namespace ProductFacts;

namespace {

const wchar_t kNextButton[] = L"WizardNext";
const wchar_t kBackButton[] = L"WizardPrevious";
const wchar_t kCancelButton[] = L"WizardCancel";

const DWORD kPageTimeout = 10000;
const DWORD kInstallTimeout = 120000;
const DWORD kExitTimeout = 15000;

LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    if (window == nullptr ||
        !SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 3000, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

bool Contains(const std::wstring& text, const std::wstring& part)
{
    return text.find(part) != std::wstring::npos;
}

bool ContainsIgnoringCase(std::wstring text, std::wstring part)
{
    CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    if (!part.empty())
        CharUpperBuffW(&part[0], static_cast<DWORD>(part.size()));
    return Contains(text, part);
}

std::wstring TrimEnd(std::wstring text)
{
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\r' || text.back() == L'\n' || text.back() == L'.'))
        text.pop_back();
    return text;
}

// Temporary copies the setup makes of an uninstaller: "{GUID}.exe" in the temporary folder.
std::set<std::wstring> TemporaryUninstallerCopies()
{
    std::set<std::wstring> copies;
    for (const std::wstring& name : FileProbe::List(FileProbe::TempFolder(), L"{*}.exe")) {
        if (name.size() == 42)
            copies.insert(name);
    }
    return copies;
}

} // namespace

SetupScenarios::SetupScenarios(const DriverOptions& options) : options_(options)
{
}

bool SetupScenarios::Prepare()
{
    if (!DriverLog::Check(files_.Load(options_.setup), "the setup carries its FILES list %s",
                          Utf8(files_.Error()).c_str()))
        return false;
    if (!DriverLog::Check(SetupView::ChooseFor(options_.setup), "the setup is a 32-bit or 64-bit program"))
        return false;
    DriverLog::Info("%zu files to install; a %s setup: registry view %s, default target %s", files_.Entries().size(),
                    SetupView::Name(), SetupView::Is32Bit() ? "KEY_WOW64_32KEY" : "KEY_WOW64_64KEY",
                    Utf8(InstallCheck::DefaultTarget()).c_str());
    return true;
}

bool SetupScenarios::ExpectExit(WizardSession& session, const char* why)
{
    DWORD code = 0xFFFF;
    bool ended = session.WaitForExit(kExitTimeout, &code);
    return DriverLog::Check(ended && code == 0, "%s: setup.exe ends with exit code 0 (%s, code %lu)", why,
                            ended ? "ended" : "still running", static_cast<unsigned long>(code));
}

bool SetupScenarios::CheckWindowPlacement(WizardSession& session)
{
    // 500 x 400 at 96 DPI, scaled to the screen's DPI (the driver is DPI aware, so it sees
    // the real pixels, as the setup does).
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const long width = MulDiv(500, dpi, 96);
    const long height = MulDiv(400, dpi, 96);
    RECT desktop, window;
    GetClientRect(GetDesktopWindow(), &desktop);
    GetWindowRect(session.Wizard(), &window);
    const long x = (desktop.left + desktop.right) / 2 - width / 2;
    const long y = (desktop.bottom + desktop.top) / 2 - height / 2;
    return DriverLog::Check(window.left == x && window.top == y && window.right - window.left == width &&
                                window.bottom - window.top == height,
                            "at %d DPI the wizard is %ld x %ld at (%ld, %ld), centred on the %ld x %ld desktop (at %ld, %ld, %ld x %ld)",
                            dpi, width, height, x, y, desktop.right - desktop.left, desktop.bottom - desktop.top,
                            window.left, window.top, window.right - window.left, window.bottom - window.top);
}

bool SetupScenarios::ChooseFolder(WizardSession& session, const std::wstring& folder)
{
    HWND browse = session.Control({L"Target", L"TargetPanel", L"Browse"});
    if (!session.Click(browse, "Change..."))
        return false;
    // The dialog is the system's: any caption, ready once it has its buttons.
    HWND dialog = nullptr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < kPageTimeout; Sleep(100)) {
        dialog = MessageBoxProbe::Find(session.Process().ProcessId(), nullptr);
        if (dialog != nullptr && MessageBoxProbe::HasButton(dialog, IDOK))
            break;
        dialog = nullptr;
    }
    if (!DriverLog::Check(dialog != nullptr, "\"Change...\" opens the folder dialog"))
        return false;
    DriverLog::Info("folder dialog %s", MessageBoxProbe::Describe(dialog).c_str());
    // The folder is selected in the dialog's tree as its owner's callback would select it:
    // BFFM_SETSELECTION with the path, which lives in the setup's own memory.
    bool selected = false;
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, session.Process().ProcessId());
    const SIZE_T bytes = (folder.size() + 1) * sizeof(wchar_t);
    void* remote = process != nullptr ? VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
                                      : nullptr;
    if (remote != nullptr && WriteProcessMemory(process, remote, folder.c_str(), bytes, nullptr)) {
        DWORD_PTR result = 0;
        selected = SendMessageTimeoutW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote),
                                       SMTO_ABORTIFHUNG, 5000, &result) != 0;
    }
    if (remote != nullptr)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    if (process != nullptr)
        CloseHandle(process);
    if (!DriverLog::Check(selected, "%s is selected in the folder dialog", Utf8(folder).c_str()))
        return false;
    Sleep(300);
    MessageBoxProbe::Answer(dialog, IDOK);
    bool closed = false;
    for (DWORD start = GetTickCount(); !closed && GetTickCount() - start < kPageTimeout; Sleep(100))
        closed = !IsWindow(dialog) || !IsWindowVisible(dialog);
    return DriverLog::Check(closed, "the folder dialog closes on OK with %s", Utf8(folder).c_str());
}

bool SetupScenarios::CheckRadios(WizardSession& session, bool agree)
{
    HWND agreeButton = session.Control({L"License", L"Agree"});
    HWND noAgreeButton = session.Control({L"License", L"NoAgree"});
    const LRESULT agreeState = Ask(agreeButton, BM_GETCHECK);
    const LRESULT noAgreeState = Ask(noAgreeButton, BM_GETCHECK);
    return DriverLog::Check(agreeState == (agree ? BST_CHECKED : BST_UNCHECKED) &&
                                noAgreeState == (agree ? BST_UNCHECKED : BST_CHECKED),
                            "radios: \"Agree\" %s, \"NoAgree\" %s (expected %s)",
                            agreeState == BST_CHECKED ? "checked" : "unchecked",
                            noAgreeState == BST_CHECKED ? "checked" : "unchecked", agree ? "Agree" : "NoAgree");
}

bool SetupScenarios::WalkToSummary(WizardSession& session, bool detailed)
{
    if (detailed) {
        CheckWindowPlacement(session);
        session.CheckButton(kNextButton, kNext, true);
        session.CheckButton(kBackButton, kBack, false);
        session.CheckButton(kCancelButton, kCancel, true);
        session.Shot(L"1-welcome");
    }
    if (!session.Push(kNextButton) || !DriverLog::Check(session.WaitForPage(L"License", kPageTimeout), "Next shows the License page"))
        return false;
    // The page check runs right after the page is shown: Next follows the radio state.
    bool locked = session.WaitUntil([&]() { return !session.IsEnabled(kNextButton); }, 3000, "Next disabled");
    DriverLog::Check(locked, "on License, Next is disabled while \"NoAgree\" is chosen");
    HWND agree = session.Control({L"License", L"Agree"});
    HWND noAgree = session.Control({L"License", L"NoAgree"});
    if (detailed) {
        session.CheckButton(kBackButton, kBack, true);
        session.CheckButton(kCancelButton, kCancel, true);
        DriverLog::Check(WindowProbe::Text(agree) == kAgree, "the accept radio reads \"%s\"",
                         Utf8(WindowProbe::Text(agree)).c_str());
        DriverLog::Check(WindowProbe::Text(noAgree) == kNoAgree, "the decline radio reads \"%s\"",
                         Utf8(WindowProbe::Text(noAgree)).c_str());
        CheckRadios(session, false);
        HWND rtf = session.Control({L"License", L"RTF"});
        const LRESULT length = Ask(rtf, WM_GETTEXTLENGTH);
        DriverLog::Check(rtf != nullptr && WindowProbe::IsClass(rtf, L"RICHEDIT") && length > 0 && IsWindowVisible(rtf),
                         "the license text is shown in a %s control (%ld characters)",
                         Utf8(WindowProbe::ClassName(rtf)).c_str(), static_cast<long>(length));
        session.Shot(L"2-license");
        // Agree, change of mind, agree again.
        session.Click(agree, "Agree");
        DriverLog::Check(session.WaitUntil([&]() { return session.IsEnabled(kNextButton); }, 3000, "Next enabled"),
                         "\"Agree\" enables Next");
        CheckRadios(session, true);
        session.Click(noAgree, "NoAgree");
        DriverLog::Check(session.WaitUntil([&]() { return !session.IsEnabled(kNextButton); }, 3000, "Next disabled"),
                         "\"NoAgree\" disables Next again");
        CheckRadios(session, false);
    }
    session.Click(agree, "Agree");
    if (!DriverLog::Check(session.WaitUntil([&]() { return session.IsEnabled(kNextButton); }, 3000, "Next enabled"),
                          "after \"Agree\", Next is enabled"))
        return false;

    if (!session.Push(kNextButton) || !DriverLog::Check(session.WaitForPage(L"Target", kPageTimeout), "Next shows the Target page"))
        return false;
    if (detailed) {
        session.CheckButton(kNextButton, kNext, true);
        session.CheckButton(kBackButton, kBack, true);
        HWND browse = session.Control({L"Target", L"TargetPanel", L"Browse"});
        DriverLog::Check(browse != nullptr && WindowProbe::Text(browse) == kBrowse && IsWindowEnabled(browse),
                         "the folder can be changed with \"%s\"", Utf8(WindowProbe::Text(browse)).c_str());
        DriverLog::Check(WindowProbe::Path(session.Wizard(), {L"Target", L"TargetPanel", L"Path"}) != nullptr,
                         "the Target page shows the target path");
        if (!targetShotTaken_)
            session.Shot(L"3-target");
    }
    if (!session.Push(kNextButton) || !DriverLog::Check(session.WaitForPage(L"Summary", kPageTimeout), "Next shows the Summary page"))
        return false;
    bool relabelled = session.WaitUntil([&]() { return session.Text(kNextButton) == kInstall; }, 3000, "Install caption");
    DriverLog::Check(relabelled, "on Summary, Next reads \"&Install >\"");
    if (detailed) {
        session.CheckButton(kNextButton, kInstall, true);
        session.CheckButton(kBackButton, kBack, true);
        session.CheckButton(kCancelButton, kCancel, true);
        // Back to Target gives Next its caption again; back to License keeps the choice.
        session.Push(kBackButton);
        DriverLog::Check(session.WaitForPage(L"Target", kPageTimeout), "Back from Summary shows Target");
        session.CheckButton(kNextButton, kNext, true);
        session.Push(kBackButton);
        DriverLog::Check(session.WaitForPage(L"License", kPageTimeout), "Back from Target shows License");
        DriverLog::Check(session.NoBoxFor(800), "without an earlier installation nothing is asked");
        session.CheckButton(kNextButton, kNext, true);
        CheckRadios(session, true);
        session.Push(kNextButton);
        session.WaitForPage(L"Target", kPageTimeout);
        session.Push(kNextButton);
        if (!session.WaitForPage(L"Summary", kPageTimeout))
            return false;
        session.WaitUntil([&]() { return session.Text(kNextButton) == kInstall; }, 3000, "Install caption");
        session.Shot(L"4-summary");
    }
    return relabelled;
}

bool SetupScenarios::RunInstall(WizardSession& session, bool detailed)
{
    if (!session.Push(kNextButton) ||
        !DriverLog::Check(session.WaitForPage(L"Install", kPageTimeout), "\"&Install >\" shows the Install page"))
        return false;
    HWND progress = session.Control({L"Install", L"InstallPanel", L"Progress"});
    HWND status = WindowProbe::Path(session.Wizard(), {L"Install", L"InstallPanel", L"Status"});
    DriverLog::Check(progress != nullptr && WindowProbe::IsClass(progress, L"msctls_progress32"),
                     "the Install page has a progress bar");
    bool locked = session.WaitUntil(
        [&]() {
            return !session.IsEnabled(kNextButton) && !session.IsEnabled(kBackButton) && !session.IsEnabled(kCancelButton);
        },
        3000, "all buttons disabled");
    DriverLog::Check(locked, "during the install Next, Back and Cancel are disabled");

    // Follow the install: progress positions, the drawn status text and the buttons.
    std::set<LRESULT> positions;
    std::set<uint64_t> statusPictures;
    LRESULT range = 0;
    bool enabledSeen = false;
    bool shot = !detailed;
    bool answeredWarning = false;
    bool ended = session.WaitUntil(
        [&]() {
            HWND warning = MessageBoxProbe::Find(session.Process().ProcessId(), kWarningCaption);
            if (warning != nullptr && !answeredWarning && !MessageBoxProbe::Buttons(warning).empty()) {
                // ".orlix" belongs to another program in this prefix: take it over, as asked.
                DriverLog::Info("the setup asks %s; answering Yes", MessageBoxProbe::Describe(warning).c_str());
                answeredWarning = MessageBoxProbe::Answer(warning, IDYES);
            }
            const std::wstring page = session.CurrentPage();
            if (page == L"End")
                return true;
            if (page != L"Install")
                return false;
            const LRESULT position = Ask(progress, PBM_GETPOS);
            if (position >= 0)
                positions.insert(position);
            range = Ask(progress, PBM_GETRANGE, FALSE, 0);
            RECT area;
            if (status != nullptr && GetWindowRect(status, &area)) {
                const uint64_t picture = ScreenCapture::Fingerprint(area);
                if (picture != 0)
                    statusPictures.insert(picture);
            }
            // The page is read before the buttons: the End page may have come in between, with
            // Finish enabled. Only a button seen enabled while Install still shows counts.
            if ((session.IsEnabled(kNextButton) || session.IsEnabled(kBackButton) || session.IsEnabled(kCancelButton)) &&
                session.CurrentPage() == L"Install")
                enabledSeen = true;
            if (!shot && position >= 1) {
                shot = true;
                session.Shot(L"5-install");
            }
            return false;
        },
        kInstallTimeout, "the install to end", kWarningCaption);
    if (!DriverLog::Check(ended, "the install ends on the End page"))
        return false;
    const LRESULT finalPosition = Ask(progress, PBM_GETPOS);
    std::string seen;
    for (LRESULT position : positions)
        seen += " " + std::to_string(position);
    DriverLog::Check(positions.size() >= 2 && finalPosition == 3 && range == 3,
                     "the progress bar moved (positions seen:%s; at the end %ld of %ld)", seen.c_str(),
                     static_cast<long>(finalPosition), static_cast<long>(range));
    DriverLog::Check(statusPictures.size() >= 2, "the status text changed during the install (%zu different texts seen)",
                     statusPictures.size());
    DriverLog::Check(!enabledSeen, "no button became enabled during the install");
    return true;
}

bool SetupScenarios::CheckEndPage(WizardSession& session)
{
    bool ok = session.WaitUntil([&]() { return session.IsEnabled(kNextButton); }, 3000, "Finish enabled");
    ok = session.CheckButton(kNextButton, kFinish, true) && ok;
    ok = session.CheckButton(kBackButton, kBack, false) && ok;
    ok = session.CheckButton(kCancelButton, kCancel, false) && ok;
    session.Shot(L"6-end");
    return ok;
}

bool SetupScenarios::FinishAndExit(WizardSession& session, HtmlHandlerStandIn* html, bool byKeyboard)
{
    if (html != nullptr)
        html->ForgetCalls();
    if (byKeyboard)
        session.Type(13);
    else if (!session.Push(kNextButton))
        return false;
    bool ok = ExpectExit(session, "Finish");
    if (html == nullptr)
        return ok;
    const std::wstring guide = InstallCheck::DefaultTarget() + L"\\intel_a" + kQuickStart;
    std::wstring call;
    const DWORD start = GetTickCount();
    while ((call = html->LastCall()).empty() && GetTickCount() - start < 15000)
        Sleep(100);
    ok = DriverLog::Check(ContainsIgnoringCase(call, guide), "Finish opens the quick-start guide %s (the handler got: %s)",
                          Utf8(guide).c_str(), Utf8(call).c_str()) && ok;
    // The setup runs as administrator; what opens the guide must run with the user's rights.
    const int elevation = html->LastElevation();
    return DriverLog::Check(elevation == 0, "the guide's handler runs unelevated (its TokenElevation: %d)", elevation) &&
           ok;
}

bool SetupScenarios::VerifyInstallation()
{
    InstallCheck check(files_, options_.payloadRoot);
    return check.VerifyInstalled(InstallCheck::DefaultTarget());
}

bool SetupScenarios::InstallForPrecondition()
{
    DriverLog::Info("installing the product first");
    return InstallWith(options_);
}

bool SetupScenarios::InstallWith(const DriverOptions& options)
{
    HtmlHandlerStandIn html(options.recorder);
    if (!options.recorder.empty())
        html.Install();
    WizardSession session(options);
    bool ok = session.Start() && WalkToSummary(session, false) && RunInstall(session, false) &&
              FinishAndExit(session, nullptr, false);
    return DriverLog::Check(ok && InstallCleanup::IsInstalled(), "the product is installed");
}

// ---------------------------------------------------------------------------------------------

bool SetupScenarios::Full()
{
    return RunFull(options_.keep);
}

bool SetupScenarios::RunFull(bool keep)
{
    InstallCleanup::Clean();
    HtmlHandlerStandIn html(options_.recorder);
    if (!options_.recorder.empty())
        DriverLog::Check(html.Install(), "\".html\" is bound to the recorder for this test");
    bool ok = false;
    {
        WizardSession session(options_);
        ok = session.Start() && WalkToSummary(session, true) && RunInstall(session, true) && CheckEndPage(session);
        if (ok) {
            VerifyInstallation();
            FinishAndExit(session, options_.recorder.empty() ? nullptr : &html, false);
        }
    }
    html.Restore();
    if (!keep)
        InstallCleanup::Clean();
    return ok && DriverLog::Failed() == 0;
}

bool SetupScenarios::Tour()
{
    // A folder with "&" in its name: the path must show it as it is, not as an access key.
    InstallCleanup::Clean();
    bool ok = true;
    const std::wstring ampersand = SetupView::ProgramFiles().substr(0, 3) + L"R&D";
    CreateDirectoryW(ampersand.c_str(), nullptr);
    {
        WizardSession session(options_);
        if (session.Start() && session.Push(kNextButton) && session.WaitForPage(L"License", kPageTimeout) &&
            session.Click(session.Control({L"License", L"Agree"}), "Agree") &&
            session.WaitUntil([&]() { return session.IsEnabled(kNextButton); }, 3000, "Next enabled") &&
            session.Push(kNextButton) && session.WaitForPage(L"Target", kPageTimeout) &&
            ChooseFolder(session, ampersand)) {
            Sleep(500);
            targetShotTaken_ = session.Shot(L"3-target");
        }
        session.Push(kCancelButton);
        ok = ExpectExit(session, "Cancel on the Target page") && ok;
    }
    RemoveDirectoryW(ampersand.c_str());
    // The installation stays for the question of the second run.
    ok = RunFull(true) && ok;
    if (!InstallCleanup::IsInstalled())
        ok = InstallForPrecondition() && ok;
    {
        WizardSession session(options_);
        if (session.Start() && session.Push(kNextButton)) {
            HWND box = session.WaitForBox(kAlreadyInstalledCaption, kPageTimeout);
            if (DriverLog::Check(box != nullptr, "with the product installed, the wizard asks about it")) {
                session.Shot(L"7-question");
                MessageBoxProbe::Answer(box, IDCANCEL);
                ok = ExpectExit(session, "Cancel in the question") && ok;
            }
        }
    }
    if (InstallCleanup::IsInstalled()) {
        std::wstring location;
        RegistryProbe::ReadString(SetupView::Registry(), HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation", &location);
        std::printf("RESULT installed in %s\n", Utf8(location).c_str());
    }
    if (!options_.keep)
        InstallCleanup::Clean();
    return ok && DriverLog::Failed() == 0;
}

bool SetupScenarios::Concurrent()
{
    return InterruptedInstall(options_, files_, *this).SecondSetup();
}

bool SetupScenarios::Kill()
{
    return InterruptedInstall(options_, files_, *this).Kills();
}

bool SetupScenarios::Upgrade()
{
    InstallCleanup::Clean();
    HtmlHandlerStandIn html(options_.recorder);
    bool ok = InstallForPrecondition();
    if (!ok) {
        InstallCleanup::Clean();
        return false;
    }
    // An older version is installed: both versions must show up in the question.
    const std::wstring installedVersion = L"0.9.7-e2e";
    RegistryProbe::WriteString(SetupView::Registry(), HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion", installedVersion);
    InstallCheck check(files_, options_.payloadRoot);
    const std::wstring packagedVersion = check.PackagedVersion(InstallCheck::DefaultTarget() + L"\\intel_a");
    const std::wstring before = InstallSnapshot::Take();

    // First run: No twice, then Cancel.
    {
        WizardSession session(options_);
        if (!session.Start() || !session.Push(kNextButton)) {
            InstallCleanup::Clean();
            return false;
        }
        HWND box = session.WaitForBox(kAlreadyInstalledCaption, kPageTimeout);
        if (!DriverLog::Check(box != nullptr, "Next on Welcome finds the earlier installation and asks")) {
            InstallCleanup::Clean();
            return false;
        }
        const std::wstring text = MessageBoxProbe::Text(box);
        DriverLog::Check(Contains(text, L"A previous installation " + installedVersion + L" of the program") &&
                             Contains(text, L"by the Installation Wizard " + packagedVersion + L"."),
                         "the question names the installed version %s and this setup's %s",
                         Utf8(installedVersion).c_str(), Utf8(packagedVersion).c_str());
        DriverLog::Check(MessageBoxProbe::HasButton(box, IDYES) && MessageBoxProbe::HasButton(box, IDNO) &&
                             MessageBoxProbe::HasButton(box, IDCANCEL) && MessageBoxProbe::Buttons(box).size() == 3,
                         "the question offers Yes, No and Cancel");
        DriverLog::Check(session.CurrentPage() == L"Welcome", "behind the question the wizard shows Welcome");
        session.Shot(L"7-question");

        MessageBoxProbe::Answer(box, IDNO);
        DriverLog::Check(session.WaitForPage(L"License", kPageTimeout) &&
                             session.WaitUntil([&]() { return MessageBoxProbe::Find(session.Process().ProcessId(), nullptr) == nullptr; },
                                               3000, "the question to close", kAlreadyInstalledCaption),
                         "No keeps the License page");
        DriverLog::Check(session.WaitUntil([&]() { return !session.IsEnabled(kNextButton); }, 3000, "Next disabled"),
                         "after No, Next follows the radios: disabled with \"NoAgree\"");
        session.Click(session.Control({L"License", L"Agree"}), "Agree");
        DriverLog::Check(session.WaitUntil([&]() { return session.IsEnabled(kNextButton); }, 3000, "Next enabled"),
                         "after No, \"Agree\" enables Next");
        session.Push(kNextButton);
        DriverLog::Check(session.WaitForPage(L"Target", kPageTimeout), "Next goes on to Target");
        session.Push(kBackButton);
        box = session.WaitForBox(kAlreadyInstalledCaption, kPageTimeout);
        DriverLog::Check(box != nullptr, "Back to License asks again");
        if (box != nullptr) {
            MessageBoxProbe::Answer(box, IDNO);
            DriverLog::Check(session.WaitForPage(L"License", kPageTimeout), "No keeps the License page again");
            DriverLog::Check(session.WaitUntil([&]() { return session.IsEnabled(kNextButton); }, 3000, "Next enabled"),
                             "Next stays enabled with \"Agree\" chosen");
            CheckRadios(session, true);
        }
        session.Push(kBackButton);
        DriverLog::Check(session.WaitForPage(L"Welcome", kPageTimeout), "Back shows Welcome");
        session.Push(kNextButton);
        box = session.WaitForBox(kAlreadyInstalledCaption, kPageTimeout);
        DriverLog::Check(box != nullptr, "Back and Next ask again");
        if (box != nullptr)
            MessageBoxProbe::Answer(box, IDCANCEL);
        ExpectExit(session, "Cancel in the question");
    }
    DriverLog::Check(InstallSnapshot::Take() == before, "Cancel changed nothing: entry, keys and files are as before");

    // Second run: Yes while a file of the installation is held open leaves it installed, and
    // the question comes back; Yes once the file is free removes it.
    {
        const std::set<std::wstring> copiesBefore = TemporaryUninstallerCopies();
        const std::wstring held = InstallCheck::DefaultTarget() + L"\\intel_a" + kDocumentIcon;
        HANDLE hold = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        DriverLog::Check(hold != INVALID_HANDLE_VALUE, "%s is held open", Utf8(held).c_str());
        WizardSession session(options_);
        if (session.Start() && session.Push(kNextButton)) {
            HWND box = session.WaitForBox(kAlreadyInstalledCaption, kPageTimeout);
            if (DriverLog::Check(box != nullptr, "the next run asks again")) {
                MessageBoxProbe::Answer(box, IDYES);
                HWND again = nullptr;
                session.WaitUntil(
                    [&]() {
                        again = MessageBoxProbe::Find(session.Process().ProcessId(), kAlreadyInstalledCaption);
                        return again != nullptr && again != box && IsWindowVisible(again);
                    },
                    60000, "the question to come back", kAlreadyInstalledCaption);
                DriverLog::Check(again != nullptr && InstallCleanup::IsInstalled() && FileProbe::IsFile(held),
                                 "Yes with a file held open: the installation stays listed and the question comes back");
                if (hold != INVALID_HANDLE_VALUE)
                    CloseHandle(hold);
                hold = INVALID_HANDLE_VALUE;
                box = again;
            }
            if (box != nullptr) {
                MessageBoxProbe::Answer(box, IDYES);
                bool hidden = false;
                bool back = session.WaitUntil(
                    [&]() {
                        if (!IsWindowVisible(session.Wizard()))
                            hidden = true;
                        return !InstallCleanup::IsInstalled() && IsWindowVisible(session.Wizard()) &&
                               session.CurrentPage() == L"Welcome" &&
                               MessageBoxProbe::Find(session.Process().ProcessId(), nullptr) == nullptr;
                    },
                    60000, "the uninstaller to end and the wizard to come back", kAlreadyInstalledCaption);
                DriverLog::Check(back, "Yes: the uninstaller removed the installation and the wizard is back on Welcome");
                DriverLog::Info("the wizard was %s while the uninstaller ran", hidden ? "seen hidden" : "not seen hidden");
                const std::wstring installDirectory = InstallCheck::DefaultTarget() + L"\\intel_a";
                DriverLog::Check(!FileProbe::IsFile(installDirectory + L"\\Uninstall") &&
                                     !FileProbe::IsFile(installDirectory + kPlayer),
                                 "the installed files are gone");
                std::set<std::wstring> copiesAfter = TemporaryUninstallerCopies();
                std::vector<std::wstring> fresh;
                for (const std::wstring& name : copiesAfter) {
                    if (copiesBefore.count(name) == 0)
                        fresh.push_back(name);
                }
                DriverLog::Check(fresh.empty(), "the temporary copy {GUID}.exe of the uninstaller is gone (%zu left)",
                                 fresh.size());
                for (const std::wstring& name : fresh)
                    DeleteFileW((FileProbe::TempFolder() + L"\\" + name).c_str());
                if (back) {
                    session.Push(kNextButton);
                    DriverLog::Check(session.WaitForPage(L"License", kPageTimeout) && session.NoBoxFor(1500),
                                     "with the installation gone, License shows without a question");
                    DriverLog::Check(session.WaitUntil([&]() { return !session.IsEnabled(kNextButton); }, 3000,
                                                       "Next disabled"),
                                     "Next is disabled until \"Agree\"");
                    session.Push(kCancelButton);
                    ExpectExit(session, "Cancel on License");
                }
            }
        }
        if (hold != INVALID_HANDLE_VALUE)
            CloseHandle(hold);
    }
    InstallCleanup::Clean();
    return DriverLog::Failed() == 0;
}

bool SetupScenarios::Failure()
{
    InstallCleanup::Clean();
    // The install directory cannot be made where a file of its name stands.
    const std::wstring target = InstallCheck::DefaultTarget();
    const std::wstring blocker = target + L"\\intel_a";
    CreateDirectoryW(target.c_str(), nullptr);
    if (!DriverLog::Check(FileProbe::WriteBytes(blocker, "not a folder\r\n"), "a plain file %s blocks the install directory",
                          Utf8(blocker).c_str())) {
        FileProbe::RemoveTree(target);
        return false;
    }
    {
        WizardSession session(options_);
        if (session.Start() && WalkToSummary(session, false) && session.Push(kNextButton) &&
            session.WaitForPage(L"Install", kPageTimeout)) {
            for (int attempt = 1; attempt <= 2; ++attempt) {
                HWND box = session.WaitForBox(kErrorCaption, kInstallTimeout);
                if (!DriverLog::Check(box != nullptr, "attempt %d: the install fails with an error box", attempt))
                    break;
                const std::wstring text = TrimEnd(MessageBoxProbe::Text(box));
                const std::wstring ending = L"Unable to extract files";
                DriverLog::Check(text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0,
                                 "attempt %d: the message ends with \"Unable to extract files\" (\"%s\")", attempt,
                                 Utf8(text).c_str());
                DriverLog::Check(MessageBoxProbe::HasButton(box, IDRETRY) && MessageBoxProbe::HasButton(box, IDCANCEL) &&
                                     MessageBoxProbe::Buttons(box).size() == 2,
                                 "attempt %d: the box offers Retry and Cancel", attempt);
                DriverLog::Check(session.CurrentPage() == L"Install" && !session.IsEnabled(kNextButton) &&
                                     !session.IsEnabled(kBackButton) && !session.IsEnabled(kCancelButton),
                                 "attempt %d: the wizard stays on Install with its buttons disabled", attempt);
                if (attempt == 1) {
                    session.Shot(L"8-error");
                    MessageBoxProbe::Answer(box, IDRETRY);
                    DriverLog::Check(session.WaitUntil([&]() { return !IsWindow(box) || !IsWindowVisible(box); }, 5000,
                                                       "the box to close", kErrorCaption),
                                     "Retry closes the box and runs the install again");
                } else {
                    MessageBoxProbe::Answer(box, IDCANCEL);
                    ExpectExit(session, "Cancel after the failed install");
                }
            }
        }
    }
    DriverLog::Check(!InstallCleanup::IsInstalled(), "the failed install registered nothing");
    DriverLog::Check(FileProbe::IsFile(blocker), "the blocking file is still there");
    FileProbe::RemoveTree(blocker);
    InstallCleanup::Clean();
    return DriverLog::Failed() == 0;
}

bool SetupScenarios::WindowMenu()
{
    InstallCleanup::Clean();
    HtmlHandlerStandIn html(options_.recorder);
    if (!options_.recorder.empty())
        html.Install();
    {
        WizardSession session(options_);
        if (session.Start() && WalkToSummary(session, false) && session.Push(kNextButton) &&
            DriverLog::Check(session.WaitForPage(L"Install", kPageTimeout), "\"&Install >\" shows the Install page")) {
            // Alt+Space: the window menu runs its own modal loop on the wizard's thread.
            PostMessageW(session.Wizard(), WM_SYSCOMMAND, SC_KEYMENU, L' ');
            auto openMenu = [&]() -> HWND {
                for (HWND menu : WindowProbe::TopLevel(session.Process().ProcessId(), L"#32768", nullptr)) {
                    if (IsWindowVisible(menu))
                        return menu;
                }
                return nullptr;
            };
            bool opened = session.WaitUntil([&]() { return openMenu() != nullptr; }, 5000, "the window menu");
            if (DriverLog::Check(opened, "the window menu opens during the install")) {
                session.Shot(L"window-menu");
                // Kept open while the job ends behind it: its "End" arrives in the menu's loop.
                bool ended = session.WaitUntil([&]() { return session.CurrentPage() == L"End"; }, kInstallTimeout,
                                               "the End page behind the open menu", kWarningCaption);
                DriverLog::Check(ended && openMenu() != nullptr, "the End page follows while the window menu is open");
                // Escape closes the popup; the menu mode it leaves on the caption ends as a
                // person's next click would end it.
                HWND menu = openMenu();
                if (menu != nullptr)
                    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
                session.WaitUntil([&]() { return openMenu() == nullptr; }, 3000, "the menu to close");
                PostMessageW(session.Wizard(), WM_CANCELMODE, 0, 0);
                DriverLog::Check(session.WaitUntil([&]() { return openMenu() == nullptr; }, 3000, "the menu to close"),
                                 "the window menu closes");
                if (DriverLog::Check(session.WaitForPage(L"End", kPageTimeout), "the End page is shown once the menu is closed") &&
                    CheckEndPage(session))
                    FinishAndExit(session, options_.recorder.empty() ? nullptr : &html, false);
            }
        }
    }
    html.Restore();
    InstallCleanup::Clean();
    return DriverLog::Failed() == 0;
}

bool SetupScenarios::Keyboard()
{
    InstallCleanup::Clean();
    HtmlHandlerStandIn html(options_.recorder);
    if (!options_.recorder.empty())
        html.Install();
    // Enter all the way, Escape during the install.
    {
        WizardSession session(options_);
        if (session.Start()) {
            session.Type(13);
            DriverLog::Check(session.WaitForPage(L"License", kPageTimeout), "Enter on Welcome pushes Next");
            session.WaitUntil([&]() { return !session.IsEnabled(kNextButton); }, 3000, "Next disabled");
            session.Type(13);
            DriverLog::Check(session.NoBoxFor(800) && session.CurrentPage() == L"License",
                             "Enter does nothing while Next is disabled");
            session.Click(session.Control({L"License", L"Agree"}), "Agree");
            session.WaitUntil([&]() { return session.IsEnabled(kNextButton); }, 3000, "Next enabled");
            session.Type(13);
            DriverLog::Check(session.WaitForPage(L"Target", kPageTimeout), "Enter on License (accepted) pushes Next");
            session.Type(13);
            DriverLog::Check(session.WaitForPage(L"Summary", kPageTimeout), "Enter on Target pushes Next");
            session.WaitUntil([&]() { return session.Text(kNextButton) == kInstall; }, 3000, "Install caption");
            session.Type(13);
            if (DriverLog::Check(session.WaitForPage(L"Install", kPageTimeout), "Enter on Summary starts the install")) {
                session.Type(27);
                Sleep(300);
                session.Type(27);
                bool ended = session.WaitUntil([&]() { return session.CurrentPage() == L"End"; }, kInstallTimeout,
                                               "the install to end", kWarningCaption);
                DriverLog::Check(ended, "Escape during the install does nothing: the install goes on to the End page");
                if (ended) {
                    session.WaitUntil([&]() { return session.IsEnabled(kNextButton); }, 3000, "Finish enabled");
                    FinishAndExit(session, options_.recorder.empty() ? nullptr : &html, true);
                }
            }
        }
    }
    html.Restore();
    InstallCleanup::Clean();
    // Escape on Welcome ends the program.
    {
        WizardSession session(options_);
        if (session.Start()) {
            session.Type(27);
            ExpectExit(session, "Escape on Welcome");
        }
    }
    // Escape on Summary ends the program without installing anything.
    {
        WizardSession session(options_);
        if (session.Start() && WalkToSummary(session, false)) {
            session.Type(27);
            ExpectExit(session, "Escape on Summary");
        }
    }
    DriverLog::Check(!InstallCleanup::IsInstalled(), "leaving before the install installed nothing");
    InstallCleanup::Clean();
    return DriverLog::Failed() == 0;
}

bool SetupScenarios::Planting()
{
    InstallCleanup::Clean();
    if (!DriverLog::Check(!options_.plant.empty() && !options_.plantProbe.empty(),
                          "libraries to plant and the control program are given"))
        return false;
    // A download folder: setup.exe, and beside it libraries named like system libraries.
    const std::wstring folder = FileProbe::TempFolder() + L"\\kz-download";
    FileProbe::RemoveTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    DriverOptions download = options_;
    download.setup = folder + L"\\setup.exe";
    const std::wstring probe = folder + L"\\plant-probe.exe";
    bool ok = DriverLog::Check(CopyFileW(options_.setup.c_str(), download.setup.c_str(), FALSE) &&
                                   CopyFileW(options_.plantProbe.c_str(), probe.c_str(), FALSE),
                               "setup.exe and the control program are copied to %s", Utf8(folder).c_str());
    std::wstring names; // for the command line of the control
    std::vector<std::wstring> markers;
    for (const std::wstring& library : options_.plant) {
        const std::wstring name = library.substr(library.find_last_of(L"\\/") + 1);
        ok = DriverLog::Check(CopyFileW(library.c_str(), (folder + L"\\" + name).c_str(), FALSE) != 0,
                              "%s is planted beside setup.exe", Utf8(name).c_str()) && ok;
        names += L" " + name;
        markers.push_back(folder + L"\\" + name + L".loaded");
    }
    // Wine searches the program's folder first for the names that the test's WINEDLLOVERRIDES
    // sets to "n,b"; it takes the setting from the environment the driver was started with.
    wchar_t setting[1024] = L"";
    GetEnvironmentVariableW(L"WINEDLLOVERRIDES", setting, 1024);
    DriverLog::Info("WINEDLLOVERRIDES=%s", Utf8(setting).c_str());

    // The markers present, as " name.dll.loaded ...", and how many.
    size_t present = 0;
    auto loadedMarkers = [&markers, &present]() {
        std::string loaded;
        present = 0;
        for (const std::wstring& marker : markers) {
            if (FileProbe::IsFile(marker)) {
                loaded += " " + Utf8(marker.substr(marker.find_last_of(L'\\') + 1));
                ++present;
            }
        }
        return loaded;
    };
    // The control: a program that loads the names plainly gets the planted ones. Without that
    // the check below would prove nothing.
    if (ok) {
        SetupProcess control;
        DWORD code = 0;
        const bool ran = control.Start(probe, names) && control.WaitForExit(kExitTimeout, &code);
        const std::string loaded = loadedMarkers();
        ok = DriverLog::Check(ran && present == markers.size(),
                              "control: a program that loads the names plainly gets every planted library (markers:%s)",
                              loaded.c_str());
        for (const std::wstring& marker : markers)
            DeleteFileW(marker.c_str());
    }

    // The whole install, started from the download folder.
    if (ok) {
        ok = DriverLog::Check(InstallWith(download), "a whole install runs from the download folder");
        const std::string loaded = loadedMarkers();
        ok = DriverLog::Check(loaded.empty(), "setup.exe loaded none of the planted libraries (markers:%s)",
                              loaded.empty() ? " none" : loaded.c_str()) && ok;
    }

    InstallCleanup::Clean();
    FileProbe::RemoveTree(folder);
    return ok && DriverLog::Failed() == 0;
}
