// The toolkit over the product's own resources, linked as setup.exe links them: the install
// archive with the real catalogs, banners and license, the program icon and the manifest.
#include "UiTestSupport.h"

#include "archive/Archive.h"
#include "ui/KZ_UIButton.h"
#include "ui/KZ_UIPanel.h"
#include "ui/KZ_UIPopup.h"
#include "ui/KZ_UIProgressBar.h"
#include "ui/UIBitmap.h"
#include "ui/UILabel.h"
#include "ui/UIRichText.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class PayloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = new KZ_UIPopup(nullptr, L"##SetupWindow##", 0);
        root_->SetCatalog("KZOrlixPlayerSetup");
        root_->SetFallbackCatalog("KZOrlixSetup");
    }
    void TearDown() override { ReleaseTopLevel(root_); }
    KZ_UIPopup* root_;
};

TEST_F(PayloadTest, WindowClassCarriesTheProgramIcon)
{
    EXPECT_NE(0, GetClassLongPtrW(root_->GetWindow(), GCLP_HICON));
    ULONG_PTR cookie = KZ_UIWindow::ActivateControlsContext();
    EXPECT_NE(0u, cookie);
    KZ_UIWindow::DeactivateControlsContext(cookie);
}

TEST_F(PayloadTest, CatalogsOfTheArchiveAnswerTheDottedKeys)
{
    KZ_UIPanel* page = new KZ_UIPanel(root_, L"Target", 0);
    KZ_UIPanel* panel = new KZ_UIPanel(page, L"TargetPanel", 0);
    KZ_UIButton* browse = new KZ_UIButton(panel, L"Browse", 1);
    EXPECT_EQ(WString(L"&Change..."), browse->GetText());
    UILabel* title = new UILabel(panel, L"Title", 1);
    EXPECT_EQ(WString(L"Choose installation folder"), title->GetText());
    // The product's text overrides the generic one under the same key.
    UILabel* label = new UILabel(panel, L"Label", 0);
    EXPECT_EQ(WString(L"Install Kaze Mar Orlix Player to:"), label->GetText());
    // A generic text only the fallback holds.
    EXPECT_EQ(WString(L"Extract files to installation directory..."),
              root_->GetMessage(L"Progress.Extract"));
    UILabel* path = new UILabel(panel, L"Path", 0);
    EXPECT_EQ(WString(L"Target.TargetPanel.Path.Label"), path->GetText());
}

TEST_F(PayloadTest, WelcomeTitleShowsThePackagedVersion)
{
    WString version;
    ASSERT_EQ(S_OK, GetPackagedVersion(&version));
    ASSERT_FALSE(version.IsEmpty());
    KZ_UIPanel* page = new KZ_UIPanel(root_, L"Welcome", 0);
    UILabel* title = new UILabel(page, L"Title", 1);
    EXPECT_EQ(WString(L"Welcome to the Installation Wizard for Kaze Mar Orlix Player ") + version,
              title->GetText());
}

TEST_F(PayloadTest, BannersAndLicenseLoad)
{
    UIBitmap* side = new UIBitmap(root_, L"KZOrlixSetup");
    UIBitmap* header = new UIBitmap(root_, L"KZOrlixSetupH");
    int width = 0, height = 0;
    side->GetPreferredSize(&width, &height);
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    header->GetPreferredSize(&width, &height);
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    UIRichText* license = new UIRichText(root_, L"RTF");
    ASSERT_EQ(S_OK, license->LoadRtf(L"resources\\KZOrlixLicense.rtf"));
    const char* bytes = nullptr;
    int count = 0;
    license->GetDocument(&bytes, &count);
    EXPECT_EQ(0, std::strncmp(bytes, "{\\rtf", 5));
    EXPECT_GT(GetWindowTextLengthW(license->GetControl()), 100);
}

} // namespace
