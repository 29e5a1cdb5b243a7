// Controls over their native counterparts, the archive's bitmaps and documents, the look's fonts
// and the popup's placement.
#include "UiTestSupport.h"

#include "archive/Archive.h"
#include "archive/ResourceBuffer.h"
#include "ui/KZ_UIButton.h"
#include "ui/KZ_UIPanel.h"
#include "ui/KZ_UIPopup.h"
#include "ui/KZ_UIProgressBar.h"
#include "ui/KZ_UIRadioButton.h"
#include "ui/UIBitmap.h"
#include "ui/UILabel.h"
#include "ui/UILook.h"
#include "ui/UIRichText.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <richedit.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>
#include <utility>

namespace {

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = new KZ_UIPopup(nullptr, L"Root", 0);
        root_->CenterOnDesktop(500, 400);
    }
    void TearDown() override { ReleaseTopLevel(root_); }
    KZ_UIPopup* root_;
};

// --- progress bar -----------------------------------------------------------------------------

int NativeHigh(const KZ_UIProgressBar* bar)
{
    return static_cast<int>(SendMessageW(bar->GetControl(), PBM_GETRANGE, FALSE, 0));
}

TEST_F(ControlsTest, ProgressRangeIsSentOnlyWhenItChanges)
{
    KZ_UIProgressBar* bar = new KZ_UIProgressBar(root_, L"Progress");
    bar->Move(0, 0, 300, 20);
    ASSERT_EQ(100, NativeHigh(bar));    // the native default
    bar->SetProgress(1, 1);             // the stored range is already 1: native range untouched
    EXPECT_EQ(100, NativeHigh(bar));
    EXPECT_EQ(1, SendMessageW(bar->GetControl(), PBM_GETPOS, 0, 0));

    bar->SetProgress(2, 3);
    EXPECT_EQ(3, NativeHigh(bar));
    EXPECT_EQ(0, SendMessageW(bar->GetControl(), PBM_GETRANGE, TRUE, 0));
    EXPECT_EQ(2, SendMessageW(bar->GetControl(), PBM_GETPOS, 0, 0));

    // Changed behind its back: the same range is not sent again, a new one is.
    SendMessageW(bar->GetControl(), PBM_SETRANGE, 0, MAKELPARAM(0, 50));
    SendMessageW(bar->GetControl(), PBM_SETPOS, 7, 0);
    bar->SetProgress(2, 3);
    EXPECT_EQ(50, NativeHigh(bar));
    EXPECT_EQ(7, SendMessageW(bar->GetControl(), PBM_GETPOS, 0, 0));
    bar->SetProgress(1, 4);
    EXPECT_EQ(4, NativeHigh(bar));
    EXPECT_EQ(1, SendMessageW(bar->GetControl(), PBM_GETPOS, 0, 0));
    EXPECT_EQ(1, bar->GetPosition());
    EXPECT_EQ(4, bar->GetRange());
    int width = 0, height = 0;
    bar->GetPreferredSize(&width, &height);
    EXPECT_EQ(12, width);
    EXPECT_EQ(12, height);
}

// --- buttons ----------------------------------------------------------------------------------

TEST_F(ControlsTest, RadioSetCheckTakesAnyNonZeroValue)
{
    KZ_UIRadioButton* radio = new KZ_UIRadioButton(root_, L"Radio");
    EXPECT_EQ(BS_RADIOBUTTON, GetWindowLongPtrW(radio->GetControl(), GWL_STYLE) & BS_TYPEMASK);
    radio->SetCheck(5);
    EXPECT_EQ(BST_CHECKED, SendMessageW(radio->GetControl(), BM_GETCHECK, 0, 0));
    EXPECT_EQ(5, radio->GetCheck());
    radio->SetCheck(0);
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(radio->GetControl(), BM_GETCHECK, 0, 0));
    radio->SetCheck(-1);
    EXPECT_EQ(BST_CHECKED, SendMessageW(radio->GetControl(), BM_GETCHECK, 0, 0));
}

TEST_F(ControlsTest, ButtonDefaultStyleAndText)
{
    KZ_UIButton* button = new KZ_UIButton(root_, L"Button", 7);
    EXPECT_EQ(7u, button->GetStyleFlags());
    EXPECT_EQ(BS_PUSHBUTTON, GetWindowLongPtrW(button->GetControl(), GWL_STYLE) & BS_TYPEMASK);
    button->SetDefault(1);
    EXPECT_EQ(1, button->IsDefault());
    EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongPtrW(button->GetControl(), GWL_STYLE) & BS_TYPEMASK);
    button->SetDefault(0);    // the flag goes, the native style stays
    EXPECT_EQ(0, button->IsDefault());
    EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongPtrW(button->GetControl(), GWL_STYLE) & BS_TYPEMASK);
    button->SetText(L"&Install >");
    EXPECT_EQ(WString(L"&Install >"), button->GetText());
    wchar_t caption[32] = {0};
    GetWindowTextW(button->GetControl(), caption, 32);
    EXPECT_STREQ(L"&Install >", caption);
    button->Enable(false);
    EXPECT_FALSE(button->IsEnabled());
    EXPECT_FALSE(button->CanFocus());
    button->Enable(true);
    EXPECT_TRUE(button->IsEnabled());
}

TEST_F(ControlsTest, ButtonPreferredSizeGrowsWithItsText)
{
    KZ_UIButton* button = new KZ_UIButton(root_, L"Button", 0);
    button->SetText(L"OK");
    int shortWidth = 0, shortHeight = 0;
    button->GetPreferredSize(&shortWidth, &shortHeight);
    button->SetText(L"A much longer caption");
    int longWidth = 0, longHeight = 0;
    button->GetPreferredSize(&longWidth, &longHeight);
    EXPECT_GT(shortWidth, 18);
    EXPECT_GT(longWidth, shortWidth);
    EXPECT_EQ(shortHeight, longHeight);    // one line either way
    KZ_UIRadioButton* radio = new KZ_UIRadioButton(root_, L"Radio");
    radio->SetText(L"OK");
    int radioWidth = 0, radioHeight = 0;
    radio->GetPreferredSize(&radioWidth, &radioHeight);
    EXPECT_EQ(shortWidth + 2, radioWidth);
    EXPECT_EQ(shortHeight - 2, radioHeight);
}

TEST_F(ControlsTest, ChoicesAreMeasuredInTheControlsOwnFont)
{
    // The wizard's font at 144 DPI and a far larger one: the context's default font is neither,
    // and a row measured in it clips the descenders the control then draws.
    for (int pixels : {-18, -40}) {
        LOGFONTW logFont;
        ZeroMemory(&logFont, sizeof(logFont));
        logFont.lfHeight = pixels;
        lstrcpyW(logFont.lfFaceName, L"Tahoma");
        const ScopedGdiObject<HFONT> font(CreateFontIndirectW(&logFont));
        ASSERT_TRUE(font);
        const wchar_t text[] = L"I accept the terms in the license agreement";
        KZ_UIRadioButton* radio = new KZ_UIRadioButton(root_, L"Radio");
        radio->SetText(text);
        SendMessageW(radio->GetControl(), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), 0);
        int width = 0, height = 0;
        radio->GetPreferredSize(&width, &height);
        SendMessageW(radio->GetControl(), WM_SETFONT, 0, 0);

        const ScopedWindowDC screen(nullptr, GetDC(nullptr));
        const ScopedSelection selected(screen.get(), SelectObject(screen.get(), font.get()));
        TEXTMETRICW metrics;
        SIZE extent;
        ASSERT_TRUE(GetTextMetricsW(screen.get(), &metrics));
        ASSERT_TRUE(GetTextExtentPoint32W(screen.get(), text, lstrlenW(text), &extent));
        EXPECT_EQ(metrics.tmHeight, height) << pixels;
        EXPECT_EQ(extent.cx + 20, width) << pixels;
    }
}

// --- labels -----------------------------------------------------------------------------------

TEST_F(ControlsTest, BlankLabelMeasuresOneLinePlusTheInsets)
{
    root_->SetCatalog("KZOrlixPlayerSetup");
    KZ_UIPanel* page = new KZ_UIPanel(root_, L"Summary", 0);
    KZ_UIPanel* panel = new KZ_UIPanel(page, L"SummaryPanel", 0);
    UILabel* pad = new UILabel(panel, L"Pad", 0);
    ASSERT_EQ(WString(L" "), pad->GetText());
    int width = 300, height = 0;
    pad->GetPreferredSize(&width, &height);
    EXPECT_EQ(LineHeight(UILook::GetDefault()->GetTextFont()) + 16, height);
}

TEST_F(ControlsTest, LabelWrapsToTheWidthItIsGiven)
{
    UILabel* label = new UILabel(root_, L"Text", 0);
    label->SetText(L"one two three four five six seven eight nine ten eleven twelve thirteen");
    int line = LineHeight(UILook::GetDefault()->GetTextFont());
    int wide = 2000, wideHeight = 0;
    label->GetPreferredSize(&wide, &wideHeight);
    EXPECT_EQ(line + 16, wideHeight);
    int narrow = 120, narrowHeight = 0;
    label->GetPreferredSize(&narrow, &narrowHeight);
    EXPECT_GE(narrowHeight, 3 * line + 16);
    EXPECT_LE(narrow, 120 - 2);    // wrapped text fits the width less its insets
    EXPECT_LT(narrow, wide);
}

// A data text ("C:\\R&D") is measured and drawn as it is: the "&" counts. With prefix
// processing "&D" would become an underlined D, as wide as "RD".
TEST_F(ControlsTest, LabelDataTextKeepsItsAmpersands)
{
    UILabel* label = new UILabel(root_, L"Path", 0);
    int height = 0;
    label->SetText(L"R&D");
    int withAmpersand = 2000;
    label->GetPreferredSize(&withAmpersand, &height);
    label->SetText(L"RD");
    int without = 2000;
    label->GetPreferredSize(&without, &height);
    EXPECT_GT(withAmpersand, without);
}

TEST_F(ControlsTest, TitleLabelUsesTheTitleFont)
{
    UILabel* title = new UILabel(root_, L"Title", 1);
    UILabel* text = new UILabel(root_, L"Text", 0);
    EXPECT_EQ(UILook::GetDefault()->GetTitleFont(), title->GetFont());
    EXPECT_EQ(UILook::GetDefault()->GetTextFont(), text->GetFont());
    title->SetText(L"Same words");
    text->SetText(L"Same words");
    int titleWidth = 1000, titleHeight = 0, textWidth = 1000, textHeight = 0;
    title->GetPreferredSize(&titleWidth, &titleHeight);
    text->GetPreferredSize(&textWidth, &textHeight);
    EXPECT_GT(titleWidth, textWidth);
    EXPECT_GT(titleHeight, textHeight);
}

TEST_F(ControlsTest, LabelPaintsItsTextOverTheBackground)
{
    UILabel* label = new UILabel(root_, L"Text", 0);
    label->SetBackground(UILook::GetWhiteBrush());
    label->SetText(L"MMMM");
    label->Move(0, 0, 100, 40);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, 100, 40);
    HGDIOBJ old = SelectObject(memory, target);
    RECT area = {0, 0, 100, 40};
    label->Paint(memory, area);
    int dark = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 100; ++x) {
            if (GetPixel(memory, x, y) != RGB(255, 255, 255)) {
                ++dark;
                EXPECT_GE(x, 8);    // nothing inside the inset
                EXPECT_GE(y, 8);
            }
        }
    }
    EXPECT_GT(dark, 20);
    SelectObject(memory, old);
    DeleteObject(target);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// --- bitmaps ----------------------------------------------------------------------------------

TEST_F(ControlsTest, BitmapFromTheArchiveKnowsItsSizeAndPaintsItsPixels)
{
    UIBitmap* bitmap = new UIBitmap(root_, L"Good");
    ASSERT_NE(nullptr, bitmap->GetBitmap());
    int width = 0, height = 0;
    bitmap->GetPreferredSize(&width, &height);
    EXPECT_EQ(8, width);
    EXPECT_EQ(4, height);
    bitmap->SetBackground(UILook::GetWhiteBrush());
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, 16, 8);
    HGDIOBJ old = SelectObject(memory, target);
    RECT area = {0, 0, 16, 8};
    bitmap->Paint(memory, area);
    EXPECT_EQ(RGB(0xE0, 0x80, 0x20), GetPixel(memory, 0, 0));
    EXPECT_EQ(RGB(0xE0, 0x80, 0x20), GetPixel(memory, 7, 3));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(memory, 8, 0));    // outside: background only
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(memory, 0, 4));
    SelectObject(memory, old);
    DeleteObject(target);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(WString(L"Good"), bitmap->GetBitmapName());
}

TEST_F(ControlsTest, BitmapWithSizeFieldOffByOneIsRefused)
{
    UIBitmap* bitmap = new UIBitmap(root_, L"Broken");
    EXPECT_EQ(nullptr, bitmap->GetBitmap());
    int width = 99, height = 99;
    bitmap->GetPreferredSize(&width, &height);
    EXPECT_EQ(0, width);
    EXPECT_EQ(0, height);
}

TEST_F(ControlsTest, BitmapWithPixelsOutsideTheEntryAndMissingBitmapAreRefused)
{
    UIBitmap* hostile = new UIBitmap(root_, L"Hostile");
    EXPECT_EQ(nullptr, hostile->GetBitmap());
    UIBitmap* missing = new UIBitmap(root_, L"NoSuchBitmap");
    EXPECT_EQ(nullptr, missing->GetBitmap());
    int width = 1, height = 1;
    missing->GetPreferredSize(&width, &height);
    EXPECT_EQ(0, width);
    EXPECT_EQ(0, height);
}

TEST_F(ControlsTest, PayloadBannersLoad)
{
    UIBitmap* side = new UIBitmap(root_, L"KZOrlixSetup");
    UIBitmap* header = new UIBitmap(root_, L"KZOrlixSetupH");
    int width = 0, height = 0;
    side->GetPreferredSize(&width, &height);
    EXPECT_EQ(164, width);
    EXPECT_EQ(355, height);
    header->GetPreferredSize(&width, &height);
    EXPECT_EQ(500, width);
    EXPECT_EQ(58, height);
}

// A well-formed 2 x 2 bitmap file of the given bit count, with a full colour table.
std::vector<unsigned char> BitmapFile(int bitCount, int width, int height)
{
    int colours = bitCount <= 8 ? (1 << bitCount) : 0;
    int stride = ((width * bitCount + 31) / 32) * 4;
    int pixelOffset = 14 + 40 + colours * 4;
    int size = pixelOffset + stride * (height < 0 ? -height : height);
    std::vector<unsigned char> file(size, 0);
    auto put32 = [&](int at, unsigned int v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, size);
    put32(10, pixelOffset);
    put32(14, 40);
    put32(18, width);
    put32(22, static_cast<unsigned int>(height));
    file[26] = 1;
    file[28] = static_cast<unsigned char>(bitCount);
    return file;
}

TEST(BitmapFileCheck, AcceptsWellFormedFilesOfEveryDepth)
{
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        std::vector<unsigned char> file = BitmapFile(bits, 2, 2);
        EXPECT_EQ(14 + 40 + (bits <= 8 ? (1 << bits) * 4 : 0),
                  UIBitmap::CheckBitmapFile(file.data(), static_cast<int>(file.size())))
            << bits;
    }
    std::vector<unsigned char> topDown = BitmapFile(24, 3, -2);
    EXPECT_EQ(54, UIBitmap::CheckBitmapFile(topDown.data(), static_cast<int>(topDown.size())));
}

// A copy of file with a 32-bit little-endian value written at offset at.
std::vector<unsigned char> Patched(const std::vector<unsigned char>& file, size_t at,
                                   unsigned int value)
{
    std::vector<unsigned char> copy(file);
    for (size_t i = 0; i < 4 && at + i < copy.size(); ++i)
        copy.at(at + i) = static_cast<unsigned char>(value >> (8 * i));
    return copy;
}

TEST(BitmapFileCheck, RefusesEverythingThatWouldReadOutsideTheEntry)
{
    std::vector<unsigned char> good = BitmapFile(8, 4, 4);
    const int size = static_cast<int>(good.size());
    auto refused = [&](std::vector<unsigned char> file, int length) {
        return UIBitmap::CheckBitmapFile(file.data(), length) < 0;
    };
    auto patched = [&](int at, unsigned int value) { return Patched(good, at, value); };
    EXPECT_FALSE(refused(good, size));
    EXPECT_TRUE(refused(good, size - 1));                       // size field != entry size
    EXPECT_TRUE(refused(patched(2, size + 1), size));
    std::vector<unsigned char> magic = good;
    magic[1] = 'N';
    EXPECT_TRUE(refused(magic, size));
    EXPECT_TRUE(refused(patched(10, size + 4), size));          // pixels beyond the end
    EXPECT_TRUE(refused(patched(10, 0x7FFFFFF0), size));
    EXPECT_TRUE(refused(patched(10, 20), size));                // pixels inside the header
    EXPECT_TRUE(refused(patched(10, 14 + 40), size));           // over the colour table
    EXPECT_TRUE(refused(patched(22, 1000), size));              // more rows than bytes
    EXPECT_TRUE(refused(patched(18, 0x40000000), size));        // row width overflow
    EXPECT_TRUE(refused(patched(18, 0), size));
    EXPECT_TRUE(refused(patched(14, 0x7FFFFFF0), size));        // header beyond the end
    EXPECT_TRUE(refused(patched(14, 12), size));                // header too short
    EXPECT_TRUE(refused(patched(46, 300), size));               // colour table too long
    EXPECT_TRUE(refused(patched(30, 7), size));                 // unknown compression
    std::vector<unsigned char> depth = good;
    depth[28] = 7;
    EXPECT_TRUE(refused(depth, size));
    std::vector<unsigned char> tiny(good.begin(), good.begin() + 20);
    tiny[2] = 20;
    tiny[3] = tiny[4] = tiny[5] = 0;
    EXPECT_TRUE(refused(tiny, 20));
    EXPECT_TRUE(UIBitmap::CheckBitmapFile(nullptr, 0) < 0);
}

// --- rich text --------------------------------------------------------------------------------

WString PlainText(HWND control)
{
    int length = GetWindowTextLengthW(control);
    std::vector<wchar_t> text(length + 1, 0);
    GetWindowTextW(control, text.data(), length + 1);
    return WString(text.data());
}

TEST_F(ControlsTest, LoadRtfSetsTheDocumentAsTheRichEditText)
{
    UIRichText* rich = new UIRichText(root_, L"RTF");
    ASSERT_NE(nullptr, rich->GetControl()) << "RICHEDIT class missing";
    const char* bytes = reinterpret_cast<const char*>(1);
    int count = -1;
    EXPECT_EQ(1, rich->GetDocument(&bytes, &count));
    EXPECT_EQ(nullptr, bytes);
    EXPECT_EQ(0, count);
    EXPECT_EQ(0, GetWindowTextLengthW(rich->GetControl()));

    ASSERT_EQ(S_OK, rich->LoadRtf(L"resources\\KZOrlixLicense.rtf"));
    rich->GetDocument(&bytes, &count);
    ResourceBuffer resource;
    ASSERT_EQ(S_OK, resource.Open(L"RESOURCES", L"KZ"));
    Archive archive;
    ASSERT_EQ(S_OK, archive.Open(resource.Data(), resource.Remaining()));
    const void* content = nullptr;
    int length = 0;
    ASSERT_EQ(S_OK, archive.Get(L"resources\\KZOrlixLicense.rtf", &content, &length));
    ASSERT_EQ(length, count);
    EXPECT_EQ(0, std::memcmp(bytes, content, length));
    EXPECT_EQ(0, bytes[count]);
    // The control parsed the document: plain text, no RTF control words.
    WString text = PlainText(rich->GetControl());
    EXPECT_GE(text.Find(L"End-User License Agreement"), 0);
    EXPECT_LT(text.Find(L"\\rtf"), 0);
}

// The messages a rich edit control receives, in order: the limit must be raised before the
// document arrives.
WNDPROC g_richProc = nullptr;
std::vector<std::pair<UINT, LPARAM>> g_richMessages;
LRESULT CALLBACK RecordingRichProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == EM_EXLIMITTEXT || message == EM_LIMITTEXT || message == WM_SETTEXT)
        g_richMessages.push_back({message, lParam});
    return CallWindowProcW(g_richProc, window, message, wParam, lParam);
}

// Past the control's default limit of 32,767 characters Windows cuts the text silently.
TEST_F(ControlsTest, LongLicenseIsShownToItsLastParagraph)
{
    UIRichText* rich = new UIRichText(root_, L"RTF");
    ASSERT_NE(nullptr, rich->GetControl());
    rich->Move(0, 0, 400, 300);
    g_richMessages.clear();
    g_richProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        rich->GetControl(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingRichProc)));
    ASSERT_EQ(S_OK, rich->LoadRtf(L"resources\\Long.rtf"));
    SetWindowLongPtrW(rich->GetControl(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_richProc));
    ASSERT_EQ(2u, g_richMessages.size());
    EXPECT_EQ(static_cast<UINT>(EM_EXLIMITTEXT), g_richMessages[0].first);
    EXPECT_EQ(static_cast<UINT>(WM_SETTEXT), g_richMessages[1].first);
    const char* document = nullptr;
    int count = 0;
    rich->GetDocument(&document, &count);
    EXPECT_GE(g_richMessages[0].second, count);
    WString text = PlainText(rich->GetControl());
    EXPECT_GT(text.Length(), 100000);
    EXPECT_GE(text.Find(L"Paragraph 1200 of the long license"), 0);
    EXPECT_GE(text.Find(L"The last paragraph of the long license."), 0);
    // Scrolled to the end, the view shows that paragraph.
    SendMessageW(rich->GetControl(), WM_VSCROLL, SB_BOTTOM, 0);
    LRESULT lines = SendMessageW(rich->GetControl(), EM_GETLINECOUNT, 0, 0);
    LRESULT first = SendMessageW(rich->GetControl(), EM_GETFIRSTVISIBLELINE, 0, 0);
    EXPECT_GT(lines, 1200);
    EXPECT_GT(first, lines - 40);
}

TEST_F(ControlsTest, FailedLoadRtfKeepsThePreviousText)
{
    UIRichText* rich = new UIRichText(root_, L"RTF");
    ASSERT_NE(nullptr, rich->GetControl());
    ASSERT_EQ(S_OK, rich->LoadRtf(L"resources\\Sample.rtf"));
    EXPECT_EQ(WString(L"Toolkit sample document."), PlainText(rich->GetControl()).Mid(0, 24));
    const char* before = nullptr;
    int beforeCount = 0;
    rich->GetDocument(&before, &beforeCount);
    EXPECT_EQ(E_FAIL, rich->LoadRtf(L"resources\\NoSuch.rtf"));
    EXPECT_EQ(E_FAIL, rich->LoadRtf(L"resources\\Empty.rtf"));
    const char* after = nullptr;
    int afterCount = 0;
    rich->GetDocument(&after, &afterCount);
    EXPECT_EQ(before, after);
    EXPECT_EQ(beforeCount, afterCount);
    EXPECT_GE(PlainText(rich->GetControl()).Find(L"sample"), 0);
    EXPECT_EQ(0x204804, GetWindowLongPtrW(rich->GetControl(), GWL_STYLE) & 0x204804);
}

// --- popup placement --------------------------------------------------------------------------

TEST_F(ControlsTest, CenterOnDesktopPlacesTheFrame)
{
    RECT desktop;
    GetClientRect(GetDesktopWindow(), &desktop);
    ASSERT_EQ(1024, desktop.right);
    ASSERT_EQ(768, desktop.bottom);
    root_->CenterOnDesktop(500, 400);
    RECT frame;
    GetWindowRect(root_->GetWindow(), &frame);
    EXPECT_EQ(262, frame.left);
    EXPECT_EQ(184, frame.top);
    EXPECT_EQ(500, frame.right - frame.left);
    EXPECT_EQ(400, frame.bottom - frame.top);

    root_->Move(0, 0, 301, 201);
    root_->CenterOnDesktop(12345, -1);    // keeps the size, the width argument is ignored
    GetWindowRect(root_->GetWindow(), &frame);
    EXPECT_EQ(512 - 150, frame.left);
    EXPECT_EQ(384 - 100, frame.top);
    EXPECT_EQ(301, frame.right - frame.left);
}

TEST(PopupStyles, FlagsGiveTheNativeStyles)
{
    EXPECT_EQ(0x96C80000u, KZ_UIPopup::WindowStyleFor(0));
    EXPECT_EQ(0x96CC0000u, KZ_UIPopup::WindowStyleFor(1));
    EXPECT_EQ(0x96800000u, KZ_UIPopup::WindowStyleFor(2));
    EXPECT_EQ(0u, KZ_UIPopup::ExtendedStyleFor(3));
    EXPECT_EQ(0x80u, KZ_UIPopup::ExtendedStyleFor(4));
    KZ_UIPopup* popup = new KZ_UIPopup(nullptr, L"Popup", 4);
    EXPECT_EQ(0x96C80000u, static_cast<DWORD>(GetWindowLongPtrW(popup->GetWindow(), GWL_STYLE)) &
                               0xFFFF0000u);
    EXPECT_EQ(WS_EX_TOOLWINDOW,
              GetWindowLongPtrW(popup->GetWindow(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    popup->SetTitle(L"Caption");
    wchar_t caption[16] = {0};
    GetWindowTextW(popup->GetWindow(), caption, 16);
    EXPECT_STREQ(L"Caption", caption);
    ReleaseTopLevel(popup);
}

TEST(PopupTitle, CaptionComesFromTheCatalogTitle)
{
    // A parent with a catalog answers the popup's "Title" key through the chain.
    KZ_UIPopup* owner = new KZ_UIPopup(nullptr, L"Owner", 0);
    owner->SetCatalog("KZUITest");
    KZ_UIPopup* popup = new KZ_UIPopup(owner, L"Dialog", 0);
    wchar_t caption[64] = {0};
    GetWindowTextW(popup->GetWindow(), caption, 64);
    EXPECT_STREQ(L"Dialog.Title", caption);
    ReleaseTopLevel(owner);
}

// --- look -------------------------------------------------------------------------------------

TEST(LookFonts, TitleFontIsTheMessageFontBoldAndTwelveTenthsHigh)
{
    LOGFONTW message;
    ZeroMemory(&message, sizeof(message));
    message.lfHeight = -11;
    message.lfWeight = 400;
    lstrcpyW(message.lfFaceName, L"Tahoma");
    LOGFONTW title = UILook::DeriveTitleFont(message);
    EXPECT_EQ(-13, title.lfHeight);
    EXPECT_EQ(700, title.lfWeight);
    EXPECT_STREQ(L"Tahoma", title.lfFaceName);
    message.lfHeight = -12;
    EXPECT_EQ(-14, UILook::DeriveTitleFont(message).lfHeight);
    message.lfHeight = 11;
    EXPECT_EQ(13, UILook::DeriveTitleFont(message).lfHeight);
}

TEST(LookFonts, NonClientMetricsOfFiveHundredBytesAreAccepted)
{
    NONCLIENTMETRICSW metrics;
    ZeroMemory(&metrics, sizeof(metrics));
    metrics.cbSize = 500;
    EXPECT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0));
    EXPECT_NE(0, metrics.lfMessageFont.lfHeight);
    NONCLIENTMETRICSW read;
    ASSERT_TRUE(UILook::ReadNonClientMetrics(&read));
    EXPECT_EQ(500u, read.cbSize);    // the short form was taken, no fall-back needed

    UILook* look = UILook::GetDefault();
    ASSERT_NE(nullptr, look);
    EXPECT_EQ(look, UILook::GetDefault());
    EXPECT_EQ(0, look->OwnerDrawButtons());
    EXPECT_EQ(0, look->FlatControls());
    LOGFONTW text, titleFont, control;
    ASSERT_EQ(static_cast<int>(sizeof(LOGFONTW)),
              GetObjectW(look->GetTextFont(), sizeof(text), &text));
    ASSERT_EQ(static_cast<int>(sizeof(LOGFONTW)),
              GetObjectW(look->GetTitleFont(), sizeof(titleFont), &titleFont));
    ASSERT_EQ(static_cast<int>(sizeof(LOGFONTW)),
              GetObjectW(look->GetControlFont(), sizeof(control), &control));
    EXPECT_EQ(read.lfMessageFont.lfHeight, text.lfHeight);
    EXPECT_EQ(read.lfMessageFont.lfHeight * 12 / 10, titleFont.lfHeight);
    EXPECT_EQ(700, titleFont.lfWeight);
    EXPECT_EQ(read.lfMenuFont.lfHeight, control.lfHeight);
    EXPECT_STREQ(read.lfMenuFont.lfFaceName, control.lfFaceName);
}

TEST(LookDrawing, BitmapSizeAndCopyThroughTheSharedMemoryContext)
{
    HDC screen = GetDC(nullptr);
    HBITMAP source = CreateCompatibleBitmap(screen, 7, 5);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, source);
    RECT all = {0, 0, 7, 5};
    HBRUSH red = CreateSolidBrush(RGB(200, 0, 0));
    FillRect(memory, &all, red);
    SelectObject(memory, old);
    int width = -1, height = -1;
    UILook::GetBitmapSize(source, &width, &height);
    EXPECT_EQ(7, width);
    EXPECT_EQ(5, height);
    UILook::GetBitmapSize(nullptr, &width, &height);
    EXPECT_EQ(0, width);
    EXPECT_EQ(0, height);

    HBITMAP target = CreateCompatibleBitmap(screen, 10, 10);
    old = SelectObject(memory, target);
    RECT area = {0, 0, 10, 10};
    FillRect(memory, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    UILook::DrawBitmap(memory, source, 2, 2, 3, 3, 0, 0, SRCCOPY);
    EXPECT_EQ(RGB(200, 0, 0), GetPixel(memory, 2, 2));
    EXPECT_EQ(RGB(200, 0, 0), GetPixel(memory, 4, 4));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(memory, 5, 5));
    // The selection of the shared context is restored: the bitmap can be selected elsewhere.
    HDC other = CreateCompatibleDC(screen);
    EXPECT_NE(nullptr, SelectObject(other, source));
    DeleteDC(other);
    SelectObject(memory, old);
    DeleteObject(target);
    DeleteObject(red);
    DeleteObject(source);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// --- folder dialog ----------------------------------------------------------------------------

struct DialogAnswer {
    HWND owner;
    const wchar_t* select;    // null: Cancel
    bool found;
};

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM parameter)
{
    DialogAnswer* answer = reinterpret_cast<DialogAnswer*>(parameter);
    wchar_t className[16] = {0};
    GetClassNameW(window, className, 16);
    if (lstrcmpW(className, L"#32770") != 0 || GetWindow(window, GW_OWNER) != answer->owner ||
        !IsWindowVisible(window))
        return TRUE;
    answer->found = true;
    if (answer->select != nullptr) {
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(answer->select));
        PostMessageW(window, WM_COMMAND, IDOK, 0);
    } else {
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    }
    return FALSE;
}

DWORD WINAPI AnswerDialog(LPVOID parameter)
{
    DialogAnswer* answer = static_cast<DialogAnswer*>(parameter);
    for (int i = 0; i < 200 && !answer->found; ++i) {
        Sleep(50);
        EnumWindows(&FindOwnedDialog, reinterpret_cast<LPARAM>(answer));
    }
    return 0;
}

HRESULT BrowseAnswered(KZ_UIWindow* window, const wchar_t* select, WString* path, bool* found)
{
    DialogAnswer answer = {window->GetWindow(), select, false};
    HANDLE watcher = CreateThread(nullptr, 0, &AnswerDialog, &answer, 0, nullptr);
    HRESULT result = window->BrowseForFolder(path);
    WaitForSingleObject(watcher, 15000);
    CloseHandle(watcher);
    *found = answer.found;
    return result;
}

TEST_F(ControlsTest, BrowseForFolderReturnsTheChosenFolderOrFailsOnCancel)
{
    WString path = L"before";
    bool found = false;
    EXPECT_EQ(E_FAIL, BrowseAnswered(root_, nullptr, &path, &found));
    EXPECT_TRUE(found);
    EXPECT_TRUE(path.IsEmpty());

    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(S_OK, BrowseAnswered(root_, windows, &path, &found));
    EXPECT_TRUE(found);
    EXPECT_EQ(0, lstrcmpiW(windows, path.c_str())) << std::wstring(path.c_str()).size();
}

} // namespace
