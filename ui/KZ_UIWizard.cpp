#include "ui/KZ_UIWizard.h"

#include "foundation/MessageCatalog.h"
#include "ui/KZ_UIButton.h"
#include "ui/UILook.h"

#include <cstring>
#include <new>

namespace {

const char kWizardCatalog[] = "KZ_UIWizard";
const int kButtonWidth = 85;
const int kButtonHeight = 22;

} // namespace

KZ_UIWizard::KZ_UIWizard(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags)
    : KZ_UIPopup(parent, name, styleFlags), currentPage_(nullptr), nextButton_(nullptr),
      backButton_(nullptr), cancelButton_(nullptr), pagesToCome_(false)
{
    // Created first, so they lead the child list and the tab order; every later child is a page.
    nextButton_ = new (std::nothrow) KZ_UIButton(this, L"WizardNext", 1);
    backButton_ = new (std::nothrow) KZ_UIButton(this, L"WizardPrevious", 1);
    cancelButton_ = new (std::nothrow) KZ_UIButton(this, L"WizardCancel", 1);

    if (nextButton_ != nullptr) {
        nextButton_->SetText(MessageCatalog::Lookup(kWizardCatalog, L"Next.Title"));
        nextButton_->SetDefault(1);
    }
    if (backButton_ != nullptr)
        backButton_->SetText(MessageCatalog::Lookup(kWizardCatalog, L"Back.Title"));
    if (cancelButton_ != nullptr)
        cancelButton_->SetText(MessageCatalog::Lookup(kWizardCatalog, L"Cancel.Title"));

    Subscribe("Size", this, &KZ_UIWizard::OnSizeEvent);
    if (nextButton_ != nullptr)
        nextButton_->Subscribe("OnPushed", this, &KZ_UIWizard::OnNextPushed);
    if (backButton_ != nullptr)
        backButton_->Subscribe("OnPushed", this, &KZ_UIWizard::OnBackPushed);
    if (cancelButton_ != nullptr)
        cancelButton_->Subscribe("OnPushed", this, &KZ_UIWizard::OnCancelPushed);

    if (nextButton_ != nullptr)
        nextButton_->Focus();
}

KZ_UIWizard::~KZ_UIWizard()
{
    // The buttons and pages are children: their native windows end them.
    currentPage_ = nullptr;
    nextButton_ = nullptr;
    backButton_ = nullptr;
    cancelButton_ = nullptr;
}

bool KZ_UIWizard::IsKindOf(const char* className) const
{
    return std::strcmp(className, "KZ_UIWizard") == 0 || KZ_UIPopup::IsKindOf(className);
}

KZ_UIWizard::ButtonPlacement KZ_UIWizard::ComputePlacement(int clientWidth, int clientHeight)
{
    ButtonPlacement placement;
    // Offsets are 96-DPI pixels, scaled to the system's DPI.
    const float scale = static_cast<float>(UILook::GetSystemDpi()) / 96.0f;
    // The button row sits 33.5 pixels above the bottom; the conversion truncates toward zero
    // (a client too low for the row gives -13 for a height of 20, not -14).
    placement.buttonY = static_cast<int>(static_cast<float>(clientHeight) - 33.5f * scale);
    placement.backX = static_cast<int>(static_cast<float>(clientWidth) - (20.0f + 255.0f) * scale);
    placement.nextX = static_cast<int>(static_cast<float>(clientWidth) - (20.0f + 170.0f) * scale);
    placement.cancelX = static_cast<int>(static_cast<float>(clientWidth) - (10.0f + 85.0f) * scale);
    placement.buttonWidth = UILook::Scale(kButtonWidth);
    placement.buttonHeight = UILook::Scale(kButtonHeight);
    placement.pageWidth = clientWidth;
    placement.pageHeight = clientHeight - UILook::Scale(kButtonBandHeight);
    return placement;
}

void KZ_UIWizard::OnSizeEvent(const char*, KZ_EventListener*, void*)
{
    PlaceChildren();
}

void KZ_UIWizard::PlaceChildren()
{
    int width, height;
    GetClientSize(&width, &height);
    ButtonPlacement placement = ComputePlacement(width, height);
    if (backButton_ != nullptr)
        backButton_->Move(placement.backX, placement.buttonY, placement.buttonWidth,
                          placement.buttonHeight);
    if (nextButton_ != nullptr)
        nextButton_->Move(placement.nextX, placement.buttonY, placement.buttonWidth,
                          placement.buttonHeight);
    if (cancelButton_ != nullptr)
        cancelButton_->Move(placement.cancelX, placement.buttonY, placement.buttonWidth,
                            placement.buttonHeight);
    // Hidden pages too: each is ready, laid out, when it is shown.
    for (KZ_UIWindow* page = GetFirstPage(); page != nullptr; page = GetNextPage(page))
        page->Move(0, 0, placement.pageWidth, placement.pageHeight);
}

void KZ_UIWizard::Paint(HDC dc, const RECT& area)
{
    KZ_UIPopup::Paint(dc, area);
    int width, height;
    GetClientSize(&width, &height);
    RECT separator = {0, height - UILook::Scale(kButtonBandHeight), width, height};
    DrawEdge(dc, &separator, EDGE_ETCHED, BF_TOP);
}

bool KZ_UIWizard::IsPage(const KZ_UIWindow* window) const
{
    return window != nullptr && window->GetParent() == this && window != nextButton_ &&
           window != backButton_ && window != cancelButton_;
}

KZ_UIWindow* KZ_UIWizard::GetFirstPage() const
{
    KZ_UIWindow* child = GetFirstChild();
    while (child != nullptr && !IsPage(child))
        child = child->GetNextSibling();
    return child;
}

KZ_UIWindow* KZ_UIWizard::GetNextPage(const KZ_UIWindow* page) const
{
    if (page == nullptr)
        return nullptr;
    KZ_UIWindow* child = page->GetNextSibling();
    while (child != nullptr && !IsPage(child))
        child = child->GetNextSibling();
    return child;
}

void KZ_UIWizard::ShowPage(KZ_UIWindow* page)
{
    if (page == currentPage_ || !IsPage(page))
        return;
    currentPage_ = page;
    ApplyCurrentPage();
    Publish("PageChanged");
}

void KZ_UIWizard::SetPagesToCome(bool toCome)
{
    pagesToCome_ = toCome;
    if (toCome)
        return;
    // Hidden while they are still empty, then placed: the page on screen is not touched.
    if (currentPage_ != nullptr)
        ApplyCurrentPage();
    PlaceChildren();
}

void KZ_UIWizard::ApplyCurrentPage()
{
    KZ_UIWindow* page = currentPage_;
    bool first = false;
    bool followed = false;
    bool seen = false;
    for (KZ_UIWindow* each = GetFirstPage(); each != nullptr; each = GetNextPage(each)) {
        if (each == page) {
            first = !seen;
            followed = GetNextPage(each) != nullptr;
            each->Show(true);
        } else {
            each->Show(false);
        }
        seen = true;
    }
    const bool last = !followed && !pagesToCome_;
    if (backButton_ != nullptr)
        backButton_->Enable(!first && !last);
    if (cancelButton_ != nullptr)
        cancelButton_->Enable(!last);
    if (nextButton_ != nullptr)
        nextButton_->SetText(
            MessageCatalog::Lookup(kWizardCatalog, last ? L"Finish.Title" : L"Next.Title"));
}

namespace {

// First window of the subtree (pre-order) that can take the focus.
KZ_UIWindow* FirstFocusable(KZ_UIWindow* window)
{
    for (KZ_UIWindow* child = window->GetFirstChild(); child != nullptr;
         child = child->GetNextSibling()) {
        if (child->CanFocus())
            return child;
        KZ_UIWindow* found = FirstFocusable(child);
        if (found != nullptr)
            return found;
    }
    return nullptr;
}

} // namespace

void KZ_UIWizard::KeepFocus()
{
    HWND window = GetWindow();
    if (window == nullptr || GetActiveWindow() != window)
        return;
    HWND focus = GetFocus();
    if (focus != nullptr && IsWindowEnabled(focus) && IsWindowVisible(focus))
        return;
    KZ_UIWindow* target = nullptr;
    if (nextButton_ != nullptr && nextButton_->CanFocus())
        target = nextButton_;
    else if (currentPage_ != nullptr)
        target = FirstFocusable(currentPage_);
    if (target == nullptr && backButton_ != nullptr && backButton_->CanFocus())
        target = backButton_;
    if (target == nullptr && cancelButton_ != nullptr && cancelButton_->CanFocus())
        target = cancelButton_;
    if (target != nullptr)
        target->Focus();
}

void KZ_UIWizard::Next()
{
    KZ_UIWindow* following =
        currentPage_ != nullptr ? GetNextPage(currentPage_) : GetFirstPage();
    if (following != nullptr)
        ShowPage(following);
    else
        Publish("Finish");
}

void KZ_UIWizard::Back()
{
    KZ_UIWindow* previous = nullptr;
    for (KZ_UIWindow* each = GetFirstPage(); each != nullptr; each = GetNextPage(each)) {
        if (each == currentPage_) {
            if (previous != nullptr)
                ShowPage(previous);
            return;
        }
        previous = each;
    }
}

void KZ_UIWizard::OnNextPushed(const char*, KZ_EventListener*, void*)
{
    Next();
}

void KZ_UIWizard::OnBackPushed(const char*, KZ_EventListener*, void*)
{
    Back();
}

void KZ_UIWizard::OnCancelPushed(const char*, KZ_EventListener*, void*)
{
    Publish("OnClose");
}
