#include "ui/KZ_UIWizardTask.h"

#include "foundation/AsyncTask.h"
#include "foundation/MessageCatalog.h"
#include "foundation/PlatformError.h"
#include "ui/KZ_UIButton.h"
#include "ui/KZ_UIPanel.h"
#include "ui/KZ_UIProgressBar.h"
#include "ui/UIBitmap.h"
#include "ui/UIGridLayout.h"
#include "ui/UILabel.h"
#include "ui/UILayoutCell.h"
#include "ui/UILook.h"

#include <cstring>
#include <new>

namespace {

const int kFillWidthAtBottom = UILayoutCell::FillWidth | UILayoutCell::AlignBottom;
const int kFillWidthAtTop = UILayoutCell::FillWidth | UILayoutCell::AlignTop;
// The pad row below a page's content takes 30 times the spare height of the rows above it.
const int kPadRowWeight = 30;
// The side bitmap spans four rows on both pages; the End page leaves its fourth empty.
const int kSideBitmapRows = 4;

struct SideLabel {
    const wchar_t* name;
    unsigned int styleFlags;
    int alignment;
};

// A white page: the side bitmap down its left edge beside a column of labels, the last of them
// a pad row that takes most of the spare height.
template <int Count>
KZ_UIPanel* BuildSidePage(KZ_UIWindow* wizard, const wchar_t* name, const WString& bitmapName,
                          const SideLabel (&labels)[Count])
{
    KZ_UIPanel* page = new (std::nothrow) KZ_UIPanel(wizard, name, 0);
    if (page == nullptr)
        return nullptr;
    page->SetBackground(UILook::GetWhiteBrush());
    UIBitmap* bitmap = new (std::nothrow) UIBitmap(page, bitmapName);
    UILabel* column[Count] = {};
    for (int i = 0; i < Count; ++i)
        column[i] = new (std::nothrow) UILabel(page, labels[i].name, labels[i].styleFlags);

    UIGridLayout* grid = new (std::nothrow) UIGridLayout(0, 0, 0, 0);
    if (grid == nullptr)
        return page;
    UIGridLayout::SetCell(bitmap, 0, 0, 1, kSideBitmapRows, UILayoutCell::Fill);
    grid->SetColumnWeight(1, 1);
    for (int i = 0; i < Count; ++i) {
        UIGridLayout::SetCell(column[i], 1, i, 1, 1, labels[i].alignment);
        grid->SetRowWeight(i, i + 1 < Count ? 1 : kPadRowWeight);
    }
    page->SetLayout(grid);
    return page;
}

} // namespace

KZ_UIWizardTask::KZ_UIWizardTask(KZ_UIWindow* parent, const WString& name)
    : KZ_UIWizard(parent, name, 0), task_(nullptr), welcomePage_(nullptr), installPage_(nullptr),
      endPage_(nullptr), statusLabel_(nullptr), progressBar_(nullptr),
      taskEndSubscription_(nullptr), taskProgressSubscription_(nullptr), awaitingEnd_(false)
{
    Subscribe("Create", this, &KZ_UIWizardTask::OnCreate);
    Post("Create");
}

KZ_UIWizardTask::~KZ_UIWizardTask()
{
    // A task whose "End" is still to come (worker running, or the event queued) must outlive
    // that event: it is cut loose and left alive, so its last events reach nobody. With its
    // window gone the program has nothing left to show: the loop is asked to end. A finished
    // task (kept after Cancel) goes with us.
    if (task_ != nullptr) {
        if (awaitingEnd_ || task_->IsRunning()) {
            DetachTask();
            PostQuitMessage(0);
        } else {
            delete task_;
        }
        task_ = nullptr;
    }
}

bool KZ_UIWizardTask::IsKindOf(const char* className) const
{
    return std::strcmp(className, "KZ_UIWizardTask") == 0 || KZ_UIWizard::IsKindOf(className);
}

void KZ_UIWizardTask::SetBitmapNames(const WString& sideBitmap, const WString& headerBitmap)
{
    sideBitmapName_ = sideBitmap;
    headerBitmapName_ = headerBitmap;
}

void KZ_UIWizardTask::OnPageChanged(KZ_UIWindow*)
{
}

void KZ_UIWizardTask::BuildWelcomePage()
{
    const SideLabel labels[] = {{L"Title", UILabel::TitleFont, UILayoutCell::FillWidth},
                                {L"Info", 0, kFillWidthAtBottom},
                                {L"Warn", 0, kFillWidthAtTop},
                                {L"Pad", 0, UILayoutCell::Fill}};
    welcomePage_ = BuildSidePage(this, L"Welcome", sideBitmapName_, labels);
}

void KZ_UIWizardTask::BuildInstallPage()
{
    installPage_ = new (std::nothrow) KZ_UIPanel(this, L"Install", 0);
    if (installPage_ == nullptr)
        return;
    installPage_->SetBackground(UILook::GetPageBrush());
    UIBitmap* bitmap = new (std::nothrow) UIBitmap(installPage_, headerBitmapName_);
    KZ_UIPanel* panel = new (std::nothrow) KZ_UIPanel(installPage_, L"InstallPanel", 0);
    UILabel* pad = nullptr;
    if (panel != nullptr) {
        panel->SetBackground(UILook::GetPageBrush());
        statusLabel_ = new (std::nothrow) UILabel(panel, L"Status", 0);
        progressBar_ = new (std::nothrow) KZ_UIProgressBar(panel, L"Progress");
        pad = new (std::nothrow) UILabel(panel, L"Pad", 0);
    }

    UIGridLayout* grid = new (std::nothrow) UIGridLayout(0, 0, 0, 0);
    if (grid != nullptr) {
        UIGridLayout::SetCell(bitmap, 0, 0, 1, 1, UILayoutCell::Fill);
        UIGridLayout::SetCell(panel, 0, 1, 1, 1, UILayoutCell::Fill);
        grid->SetColumnWeight(0, 1);
        grid->SetRowWeight(0, 1);
        grid->SetRowWeight(1, 1);
        installPage_->SetLayout(grid);
    }
    if (panel == nullptr)
        return;
    UIGridLayout* inner = new (std::nothrow) UIGridLayout(25, 0, 0, 0);
    if (inner == nullptr)
        return;
    UIGridLayout::SetCell(statusLabel_, 0, 0, 1, 1, kFillWidthAtBottom);
    UIGridLayout::SetCell(progressBar_, 0, 1, 1, 1, kFillWidthAtTop);
    UIGridLayout::SetCell(pad, 0, 2, 1, 1, UILayoutCell::Fill);
    inner->SetColumnWeight(0, 1);
    inner->SetRowWeight(0, 1);
    inner->SetRowWeight(1, 1);
    inner->SetRowWeight(2, kPadRowWeight);
    panel->SetLayout(inner);
}

void KZ_UIWizardTask::BuildEndPage()
{
    const SideLabel labels[] = {{L"Title", UILabel::TitleFont, kFillWidthAtBottom},
                                {L"Info", 0, kFillWidthAtTop},
                                {L"Pad", 0, UILayoutCell::Fill}};
    endPage_ = BuildSidePage(this, L"End", sideBitmapName_, labels);
}

void KZ_UIWizardTask::OnCreate(const char*, KZ_EventListener*, void*)
{
    // Delivered once; a second "Create" would build a second set of pages.
    if (welcomePage_ != nullptr || installPage_ != nullptr || endPage_ != nullptr)
        return;
    // Only the Welcome page before the window is shown; the others follow once it is painted.
    BuildWelcomePage();
    SetPagesToCome(true);
    ShowPage(welcomePage_);
    // 500 x 400 at 96 DPI, as large on the screen at any other.
    CenterOnDesktop(UILook::Scale(500), UILook::Scale(400));
    Subscribe("Finish", this, &KZ_UIWizardTask::OnQuitRequest);
    Subscribe("OnClose", this, &KZ_UIWizardTask::OnQuitRequest);
    Subscribe("PageChanged", this, &KZ_UIWizardTask::OnPageChangedEvent);
    // Posted, so it comes after the window is shown and before any input: the user never
    // meets the wizard without its other pages.
    Subscribe("FirstPageShown", this, &KZ_UIWizardTask::OnFirstPageShownEvent);
    Post("FirstPageShown");
}

void KZ_UIWizardTask::OnFirstPageShownEvent(const char*, KZ_EventListener*, void*)
{
    // Painted now: the loop would paint only once its queue is empty.
    if (GetWindow() != nullptr)
        RedrawWindow(GetWindow(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (installPage_ == nullptr) {
        AddPages();
        BuildInstallPage();
        BuildEndPage();
        SetPagesToCome(false);
        // The start-up's catalog texts are no longer kept (begun by the program's entry point).
        MessageCatalog::EndStartupCache();
    }
    OnFirstPageShown();
}

void KZ_UIWizardTask::OnFirstPageShown()
{
}

void KZ_UIWizardTask::OnPageChangedEvent(const char*, KZ_EventListener*, void*)
{
    OnPageChanged(GetCurrentPage());
    // The check above may have moved to another page.
    if (installPage_ != nullptr && GetCurrentPage() == installPage_)
        StartTask();
    KeepFocus();
}

void KZ_UIWizardTask::StartTask()
{
    if (GetNextButton() != nullptr)
        GetNextButton()->Enable(false);
    if (GetBackButton() != nullptr)
        GetBackButton()->Enable(false);
    if (GetCancelButton() != nullptr)
        GetCancelButton()->Enable(false);
    // One task at a time: the Install page cannot be shown again while one is held.
    if (task_ != nullptr)
        return;
    task_ = CreateTask();
    if (task_ == nullptr)
        return;
    task_->SetCatalog(GetCatalog());
    taskEndSubscription_ = task_->Subscribe("End", this, &KZ_UIWizardTask::OnTaskEnd);
    taskProgressSubscription_ =
        task_->Subscribe("Progress", this, &KZ_UIWizardTask::OnTaskProgress);
    RunTask();
}

void KZ_UIWizardTask::RunTask()
{
    // A task that runs already refuses to start, and its worker will still post "End".
    bool endToCome = task_->IsRunning();
    if (SUCCEEDED(task_->Start())) {
        awaitingEnd_ = true;
        BlockShutdown(true);
    } else {
        AbandonTask(endToCome);
    }
}

bool KZ_UIWizardTask::CanEndSession()
{
    return !awaitingEnd_;
}

void KZ_UIWizardTask::BlockShutdown(bool block)
{
    if (GetWindow() == nullptr)
        return;
    if (block)
        ShutdownBlockReasonCreate(GetWindow(), GetMessage(L"ShutdownBlock.Reason").c_str());
    else
        ShutdownBlockReasonDestroy(GetWindow());
}

void KZ_UIWizardTask::DetachTask()
{
    if (task_ == nullptr)
        return;
    BlockShutdown(false);
    task_->Unsubscribe(taskEndSubscription_);
    task_->Unsubscribe(taskProgressSubscription_);
    taskEndSubscription_ = nullptr;
    taskProgressSubscription_ = nullptr;
    awaitingEnd_ = false;
}

void KZ_UIWizardTask::AbandonTask(bool endToCome)
{
    PlatformError::ShowMessageBox(GetWindow(), false);
    PostQuitMessage(0);
    AsyncTask* task = task_;
    DetachTask();
    task_ = nullptr;
    // Deleted only when no "End" of it can arrive any more.
    if (!endToCome && !task->IsRunning())
        delete task;
}

void KZ_UIWizardTask::OnTaskProgress(const char*, KZ_EventListener* publisher, void*)
{
    if (task_ == nullptr || publisher != task_)
        return;
    int position = 0;
    int range = 1;
    WString step;
    task_->GetProgress(&position, &range, &step);
    if (progressBar_ != nullptr)
        progressBar_->SetProgress(position, range);
    if (statusLabel_ != nullptr)
        statusLabel_->SetText(GetMessage(L"Progress." + step));
}

void KZ_UIWizardTask::OnTaskEnd(const char*, KZ_EventListener* publisher, void*)
{
    if (task_ == nullptr || publisher != task_)
        return;
    // The worker ended the running state before it posted this: it touches the task no more.
    awaitingEnd_ = false;
    BlockShutdown(false);
    if (task_->GetResult() != 0) {
        if (!PlatformError::ShowMessageBox(GetWindow(), true)) {
            // Cancel: the task is kept; the window ends with the program.
            PostQuitMessage(0);
            return;
        }
        RunTask();
        return;
    }
    // Deleting the task ends this dispatch, which is why nothing of its list is walked
    // afterwards.
    AsyncTask* task = task_;
    ShowPage(endPage_);
    if (GetNextButton() != nullptr)
        GetNextButton()->Enable(true);
    KeepFocus();
    task_ = nullptr;
    taskEndSubscription_ = nullptr;
    taskProgressSubscription_ = nullptr;
    delete task;
}

void KZ_UIWizardTask::OnQuitRequest(const char*, KZ_EventListener*, void*)
{
    if (task_ == nullptr)
        PostQuitMessage(0);
}
