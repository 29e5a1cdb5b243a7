// The product's Start-menu shortcuts and the license copy, made on a COM thread like the
// install worker's, and read back through the shell.
#include "setup/KZOrlixPlayerSetupTask.h"

#include "foundation/ProductDefinition.h"
#include "install/InstallServices.h"
#include "tests/ProductDefinitionReset.h"

#include "TasksTestSupport.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

using namespace tasks;

namespace {

class ProbeTask : public KZOrlixPlayerSetupTask {
public:
    ProbeTask(const std::wstring& target, const void* license, int size)
        : KZOrlixPlayerSetupTask(target.c_str(), license, size)
    {
        SetCatalog("KZOrlixPlayerSetup");
    }
    using KZOrlixPlayerSetupTask::CreateShortcuts;
    using KZOrlixPlayerSetupTask::WriteLicenseCopy;
};

struct Link {
    bool loaded = false;
    std::wstring path;
    std::wstring description;
    std::wstring icon;
    int iconIndex = -1;
};

Link LoadLink(const std::wstring& file)
{
    Link result;
    IShellLinkW* link = nullptr;
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
        SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
        wchar_t buffer[MAX_PATH * 2] = L"";
        result.loaded = true;
        if (SUCCEEDED(link->GetPath(buffer, MAX_PATH * 2, nullptr, SLGP_RAWPATH)))
            result.path = buffer;
        buffer[0] = 0;
        if (SUCCEEDED(link->GetDescription(buffer, MAX_PATH * 2)))
            result.description = buffer;
        buffer[0] = 0;
        int index = -1;
        if (SUCCEEDED(link->GetIconLocation(buffer, MAX_PATH * 2, &index))) {
            result.icon = buffer;
            result.iconIndex = index;
        }
    }
    if (persist != nullptr)
        persist->Release();
    if (link != nullptr)
        link->Release();
    return result;
}

std::wstring ProgramsFolder()
{
    wchar_t buffer[MAX_PATH + 1] = L"";
    SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_COMMON_PROGRAMS, FALSE);
    return buffer;
}

class ProductStepsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        ResetProductDefinition();
        ProductDefinition::SetDisplayName(L"Kaze Mar Orlix Player");
        ProductDefinition::SetRegistryKeyName(L"Kaze-Mar Orlix Player");
        // The Start-menu folder is named after the install services' display name.
        InstallServices services(ProductDefinition::GetDisplayName(), ProductDefinition::GetRegistryKeyName(),
                                 ProductDefinition::GetInstance(), nullptr);
        menu_ = ProgramsFolder() + L"\\Kaze Mar Orlix Player";
        RemoveTree(menu_);
        target_ = MakeTempFolder(L"steps");
        install_ = target_ + L"\\intel_a";
    }
    void TearDown() override
    {
        RemoveTree(menu_);
        RemoveTree(target_);
        CoUninitialize();
    }

    void ExpectLink(const std::wstring& file, const std::wstring& path, const std::wstring& description,
                    const std::wstring& icon)
    {
        SCOPED_TRACE(file);
        ASSERT_TRUE(FileExists(file));
        Link link = LoadLink(file);
        ASSERT_TRUE(link.loaded);
        EXPECT_TRUE(SamePath(path, link.path)) << link.path;
        EXPECT_EQ(description, link.description);
        if (icon.empty()) {
            EXPECT_EQ(L"", link.icon);
        } else {
            EXPECT_TRUE(SamePath(icon, link.icon)) << link.icon;
            EXPECT_EQ(0, link.iconIndex);
        }
    }

    std::wstring menu_;
    std::wstring target_;
    std::wstring install_;
};

TEST_F(ProductStepsTest, EveryShortcutOfTheProduct)
{
    ProbeTask task(target_, nullptr, 0);
    task.SetUninstallerPath(L"\\code\\bin\\OrlixPlayerUninstall.exe");
    task.CreateShortcuts();

    std::wstring uninstaller = install_ + L"\\code\\bin\\OrlixPlayerUninstall.exe";
    ExpectLink(menu_ + L"\\License.lnk", install_ + L"\\resources\\License.rtf",
               L"Kaze Mar Orlix Player license agreement", uninstaller);
    ExpectLink(menu_ + L"\\Uninstall.lnk", uninstaller, L"Uninstall Kaze Mar Orlix Player", uninstaller);
    ExpectLink(menu_ + L"\\Quickstart guide.lnk", install_ + L"\\resources\\Zephyrix\\HTML\\quickstart.html",
               L"Kaze Mar Orlix Player quickstart guide", L"");
    ExpectLink(menu_ + L"\\Orlix Player samples\\Microsoft Powerpoint sample.lnk",
               install_ + L"\\resources\\Zephyrix\\HTML\\PPTDemo.ppt",
               L"Kaze Mar Orlix Player in Microsoft Powerpoint sample", L"");
    ExpectLink(menu_ + L"\\Orlix Player samples\\Microsoft Word sample.lnk",
               install_ + L"\\resources\\Zephyrix\\HTML\\WordDemo.doc",
               L"Kaze Mar Orlix Player in Microsoft Word sample", L"");
}

TEST_F(ProductStepsTest, WithoutUninstallerThereIsNoUninstallShortcut)
{
    ProbeTask task(target_, nullptr, 0);
    task.CreateShortcuts();
    EXPECT_FALSE(FileExists(menu_ + L"\\Uninstall.lnk"));
    // The license shortcut is made even though no license copy exists.
    ExpectLink(menu_ + L"\\License.lnk", install_ + L"\\resources\\License.rtf",
               L"Kaze Mar Orlix Player license agreement", L"");
    EXPECT_TRUE(FileExists(menu_ + L"\\Quickstart guide.lnk"));
}

TEST_F(ProductStepsTest, TheLicenseCopyIsByteForByte)
{
    // Line ends, a NUL, an end-of-file mark and 8-bit bytes must all survive.
    std::string license = "{\\rtf1\\ansi line\r\nbare lf\n\r";
    license += std::string("\0\x1A\xE8\xFF", 4);
    license += std::string(70000, 'x') + "}";
    InstallServices::CreateDirectoryPath((install_ + L"\\resources").c_str());
    // A longer earlier copy is replaced, not overwritten in part.
    ASSERT_TRUE(WriteBytes(install_ + L"\\resources\\License.rtf", std::string(200000, 'o')));

    // The text is lent only for the construction, as the window's license view lends it: the
    // view may be destroyed while the worker runs.
    std::string lent = license;
    ProbeTask task(target_, lent.data(), static_cast<int>(lent.size()));
    lent.assign(lent.size(), 'Z');
    task.WriteLicenseCopy();
    std::string copy;
    ASSERT_TRUE(ReadBytes(install_ + L"\\resources\\License.rtf", &copy));
    EXPECT_TRUE(copy == license);
    EXPECT_EQ(license.size(), copy.size());
}

TEST_F(ProductStepsTest, NoLicenseTextNoCopy)
{
    InstallServices::CreateDirectoryPath((install_ + L"\\resources").c_str());
    ProbeTask empty(target_, nullptr, 0);
    empty.WriteLicenseCopy();
    EXPECT_FALSE(FileExists(install_ + L"\\resources\\License.rtf"));
    char byte = 'x';
    ProbeTask sizeless(target_, &byte, 0);
    sizeless.WriteLicenseCopy();
    EXPECT_FALSE(FileExists(install_ + L"\\resources\\License.rtf"));
}

} // namespace
