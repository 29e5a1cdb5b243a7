#include "tests/e2e/InterruptedInstall.h"

#include <vector>

#include "foundation/Platform.h"

#include "tests/e2e/DriverLog.h"
#include "tests/e2e/FileProbe.h"
#include "tests/e2e/InstallCheck.h"
#include "tests/e2e/InstallCleanup.h"
#include "tests/e2e/MessageBoxProbe.h"
#include "tests/e2e/ProductFacts.h"
#include "tests/e2e/SetupScenarios.h"
#include "tests/e2e/WindowProbe.h"
#include "tests/e2e/WizardSession.h"

using namespace ProductFacts;

namespace {

const wchar_t kSetupLock[] = L"Global\\KZOrlixSetup.Running";

std::wstring InstallDirectory()
{
    return InstallCheck::DefaultTarget() + L"\\intel_a";
}

// Size and time of last write; all zero for a missing file.
std::pair<ULONGLONG, ULONGLONG> Stamp(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return {0, 0};
    return {(ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
            (ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime};
}

// A point of the install, seen on the disk: a temporary file of at least minimum bytes appears
// in the folder, or else the file changes (size or time).
struct KillPoint {
    const char* what;
    const wchar_t* path; // below the install directory
    bool temporary;
    ULONGLONG minimum;
};

const KillPoint kPoints[] = {
    {"the first program replaced", L"code\\bin\\OrlixPlayer.exe", false, 0},
    {"among the first small files", L"extra\\small010.bin", false, 0},
    {"a large data file being staged", L"extra", true, 1000000},
    {"among the last small files", L"extra\\small100.bin", false, 0},
    {"the uninstall data file", L"Uninstall", false, 0},
};

} // namespace

InterruptedInstall::InterruptedInstall(const DriverOptions& options, const SetupFileList& files,
                                       SetupScenarios& scenarios)
    : options_(options), files_(files), scenarios_(scenarios)
{
}

bool InterruptedInstall::SecondSetup()
{
    InstallCleanup::Clean();
    bool ok = false;
    {
        WizardSession first(options_);
        if (!first.Start() || !scenarios_.WalkToSummary(first, false))
            return false;
        // Kept by the driver, so that the lock outlives the first setup's kill below.
        HANDLE lock = OpenMutexW(SYNCHRONIZE, FALSE, kSetupLock);
        DriverLog::Check(lock != nullptr, "the running setup holds the lock %s", DriverLog::Utf8(kSetupLock).c_str());
        SetupProcess second;
        second.Start(options_.setup, std::wstring());
        HWND box = nullptr;
        first.WaitUntil([&]() { return (box = MessageBoxProbe::Find(second.ProcessId(), kWizardCaption)) != nullptr; },
                        20000, "the second setup's box");
        DriverLog::Check(box != nullptr &&
                             MessageBoxProbe::Text(box).find(L"Another installation wizard is running") == 0 &&
                             WindowProbe::TopLevel(second.ProcessId(), L"KZWindow", nullptr).empty(),
                         "a second setup shows no wizard, only the box: %s", MessageBoxProbe::Describe(box).c_str());
        // The first installs while the box is up; what it installed is checked whole.
        ok = scenarios_.RunInstall(first, false) && InstallCheck(files_, options_.payloadRoot).VerifyFiles(InstallDirectory());
        DWORD code = 0;
        const bool ended = MessageBoxProbe::Answer(box, IDOK) && second.WaitForExit(15000, &code);
        DriverLog::Check(ended && code == 1,
                         "OK ends the second setup with exit code 1 (%lu)", static_cast<unsigned long>(code));
        // Killed, the first leaves its lock abandoned: the next setup goes on all the same.
        first.Process().Kill();
        WizardSession third(options_);
        ok = DriverLog::Check(third.Start(), "after a setup was killed, the next one opens its wizard") && ok;
        third.Process().Kill();
        if (lock != nullptr)
            CloseHandle(lock);
    }
    InstallCleanup::Clean();
    return ok && DriverLog::Failed() == 0;
}

bool InterruptedInstall::WalkOverEarlier(WizardSession& session)
{
    const wchar_t next[] = L"WizardNext";
    if (!session.Start() || !session.Push(next))
        return false;
    HWND box = session.WaitForBox(kAlreadyInstalledCaption, 10000);
    if (!DriverLog::Check(box != nullptr && MessageBoxProbe::Answer(box, IDNO), "the earlier installation is kept (No)") ||
        !session.WaitForPage(L"License", 10000) || !session.Click(session.Control({L"License", L"Agree"}), "Agree") ||
        !session.WaitUntil([&]() { return session.IsEnabled(next); }, 3000, "Next enabled") || !session.Push(next) ||
        !session.WaitForPage(L"Target", 10000) || !session.Push(next) || !session.WaitForPage(L"Summary", 10000))
        return false;
    return session.WaitUntil([&]() { return session.Text(next) == kInstall; }, 3000, "the Install caption");
}

bool InterruptedInstall::CheckWhole(const std::wstring& when)
{
    const std::wstring folder = InstallDirectory();
    int fresh = 0;
    int earlier = 0;
    std::vector<uint8_t> content, candidate;
    for (const SetupFileList::Entry& entry : files_.Entries()) {
        FileProbe::Read(folder + L"\\" + entry.target, &content);
        if (FileProbe::Read(options_.payloadRoot + L"\\" + entry.source, &candidate) && content == candidate)
            ++fresh;
        else if (FileProbe::Read(options_.earlierRoot + L"\\" + entry.source, &candidate) && content == candidate)
            ++earlier;
        else
            DriverLog::Check(false, "%s: %s is neither the earlier file nor the new one (%zu bytes)",
                             DriverLog::Utf8(when).c_str(), DriverLog::Utf8(entry.target).c_str(), content.size());
    }
    const bool files = fresh + earlier == static_cast<int>(files_.Entries().size());
    DriverLog::Check(files, "%s: every installed file is whole (%d new, %d earlier)", DriverLog::Utf8(when).c_str(),
                     fresh, earlier);
    return InstallCheck(files_, options_.payloadRoot).VerifyUninstallData(folder) && files;
}

bool InterruptedInstall::Kills()
{
    if (!DriverLog::Check(!options_.earlier.empty() && !options_.earlierRoot.empty() && !options_.payloadRoot.empty(),
                          "the kill test is given both setups and both payload roots"))
        return false;
    InstallCleanup::Clean();
    DriverOptions earlier = options_;
    earlier.setup = options_.earlier;
    if (!scenarios_.InstallWith(earlier))
        return false;
    const std::wstring folder = InstallDirectory();
    for (const KillPoint& point : kPoints) {
        WizardSession session(options_);
        if (!WalkOverEarlier(session))
            break;
        const std::wstring path = folder + L"\\" + point.path;
        const auto before = Stamp(path);
        session.Push(L"WizardNext");
        bool reached = false;
        for (const DWORD start = GetTickCount(); !reached && GetTickCount() - start < 20000 && session.Process().IsRunning();)
            reached = point.temporary ? FileProbe::HasSetupTemporary(path, point.minimum, false) : Stamp(path) != before;
        session.Process().Kill();
        DWORD code = 0;
        session.Process().WaitForExit(10000, &code);
        DriverLog::Check(reached, "the install reached %s and was killed there", point.what);
        CheckWhole(std::wstring(L"killed at ") + FileProbe::FromUtf8(point.what));
    }
    {
        WizardSession session(options_);
        const bool completed = WalkOverEarlier(session) && scenarios_.RunInstall(session, false) &&
                               scenarios_.FinishAndExit(session, nullptr, false);
        DriverLog::Check(completed, "after the kills, an install completes");
        CheckWhole(L"after the complete install");
        InstallCheck(files_, options_.payloadRoot).VerifyInstalled(InstallCheck::DefaultTarget());
        DriverLog::Check(!FileProbe::HasSetupTemporary(folder, 0, true), "no temporary file is left below %s",
                         DriverLog::Utf8(folder).c_str());
    }
    InstallCleanup::Clean();
    return DriverLog::Failed() == 0;
}
