// A sample page built with the toolkit, shown for screenshots. Quits after the number of
// seconds given on the command line (default 20), or when closed.
#include "foundation/ProductDefinition.h"
#include "ui/KZ_UIButton.h"
#include "ui/KZ_UIPanel.h"
#include "ui/KZ_UIPopup.h"
#include "ui/KZ_UIProgressBar.h"
#include "ui/KZ_UIRadioButton.h"
#include "ui/UIBitmap.h"
#include "ui/UIGridLayout.h"
#include "ui/UILayoutCell.h"
#include "ui/UILabel.h"
#include "ui/UILook.h"

#include <cstdlib>
#include <objbase.h>

namespace {

class DemoWindow : public KZ_UIPopup {
public:
    DemoWindow() : KZ_UIPopup(nullptr, L"Demo", 0), page_(nullptr), agree_(nullptr), decline_(nullptr)
    {
        SetCatalog("KZUITest");
        SetTitle(GetMessage(L"Title"));
        Subscribe("OnClose", this, &DemoWindow::OnQuit);

        page_ = new KZ_UIPanel(this, L"Demo", 0);
        page_->SetBackground(reinterpret_cast<HBRUSH>(5));
        UIBitmap* banner = new UIBitmap(page_, L"KZOrlixSetupH");
        KZ_UIPanel* content = new KZ_UIPanel(page_, L"Content", 0);
        UIGridLayout* pageGrid = new UIGridLayout(0, 0, 0, 0);
        UIGridLayout::SetCell(banner, 0, 0, 1, 1, UILayoutCell::Fill);
        UIGridLayout::SetCell(content, 0, 1, 1, 1, UILayoutCell::Fill);
        pageGrid->SetRowWeight(1, 1);
        page_->SetLayout(pageGrid);

        UILabel* caption = new UILabel(content, L"Caption", UILabel::TitleFont);
        UILabel* intro = new UILabel(content, L"Intro", 0);
        agree_ = new KZ_UIRadioButton(content, L"Accept");
        decline_ = new KZ_UIRadioButton(content, L"Decline");
        KZ_UIButton* change = new KZ_UIButton(content, L"Change", 1);
        KZ_UIProgressBar* progress = new KZ_UIProgressBar(content, L"Progress");
        UILabel* pad = new UILabel(content, L"Pad", 0);
        pad->SetText(L" ");
        UIGridLayout* grid = new UIGridLayout(25, 4, 0, 6);
        UIGridLayout::SetCell(caption, 0, 0, 1, 1, UILayoutCell::FillWidth);
        UIGridLayout::SetCell(intro, 0, 1, 1, 1, UILayoutCell::FillWidth);
        UIGridLayout::SetCell(agree_, 0, 2, 1, 1, UILayoutCell::FillWidth);
        UIGridLayout::SetCell(decline_, 0, 3, 1, 1, UILayoutCell::FillWidth);
        UIGridLayout::SetCell(change, 0, 4, 1, 1, UILayoutCell::AlignLeft);
        UIGridLayout::SetCell(progress, 0, 5, 1, 1, UILayoutCell::FillWidth);
        UIGridLayout::SetCell(pad, 0, 6, 1, 1, UILayoutCell::AlignLeft);
        grid->SetRowWeight(6, 1);
        content->SetLayout(grid);

        agree_->Subscribe("OnPushed", this, &DemoWindow::OnChoice);
        decline_->Subscribe("OnPushed", this, &DemoWindow::OnChoice);
        decline_->SetCheck(1);
        change->SetDefault(1);
        progress->SetProgress(2, 3);
        CenterOnDesktop(500, 400);
        change->Focus();
    }

    void OnSize(int width, int height) override
    {
        if (page_ != nullptr)
            page_->Move(0, 0, width, height);
    }

private:
    void OnQuit(const char*, KZ_EventListener*, void*) { PostQuitMessage(0); }
    void OnChoice(const char*, KZ_EventListener* publisher, void*)
    {
        agree_->SetCheck(publisher == agree_);
        decline_->SetCheck(publisher != agree_);
    }

    KZ_UIPanel* page_;
    KZ_UIRadioButton* agree_;
    KZ_UIRadioButton* decline_;
};

void CALLBACK QuitTimer(HWND, UINT, UINT_PTR, DWORD)
{
    PostQuitMessage(0);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    ProductDefinition::SetInstance(instance);
    ProductDefinition::SetVersionFile(L"resources\\Zephyrix\\versions\\PlayerVersion.txt");
    CoInitialize(nullptr);
    KZ_UIWindow::LoadWindowLibrary(L"Riched32.dll");
    KZ_EventListener::SetMainThread();
    int seconds = std::atoi(commandLine);
    SetTimer(nullptr, 0, (seconds > 0 ? seconds : 20) * 1000, &QuitTimer);
    DemoWindow* window = new DemoWindow();
    KZ_EventListener::RunMainLoop();
    window->Release();
    CoUninitialize();
    return 0;
}
