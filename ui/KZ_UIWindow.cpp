#include "ui/KZ_UIWindow.h"

#include "foundation/ProductDefinition.h"
#include "ui/UILayout.h"
#include "ui/UILayoutCell.h"
#include "ui/UILook.h"

#include <cstring>

// Deletion order. The native system sends WM_DESTROY to a parent before its children, but
// WM_NCDESTROY to the children first and to the parent last. An object is therefore deleted at
// its window's WM_NCDESTROY, not at WM_DESTROY: by the time a parent goes, every child of its
// native tree has already been deleted and has unlinked itself from the still intact parent,
// and no object of the tree is deleted while messages of the tree's destruction may still reach
// it. WM_DESTROY only runs OnDestroy and forgets the handle. Children that have no native window
// of their own (failed creation) never see WM_NCDESTROY; the parent's destructor detaches them.

KZ_UIWindow::KZ_UIWindow(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags,
                         HWND owner, DWORD windowStyle, DWORD extendedStyle)
    : styleFlags_(styleFlags), references_(1), background_(nullptr), cell_(nullptr),
      layout_(nullptr), name_(name), window_(nullptr), attached_(nullptr), drawItem_(nullptr),
      parent_(parent), nextSibling_(nullptr), previousSibling_(nullptr), lastChild_(nullptr),
      firstChild_(nullptr)
{
    if (parent_ != nullptr) {
        previousSibling_ = parent_->lastChild_;
        if (previousSibling_ != nullptr)
            previousSibling_->nextSibling_ = this;
        parent_->lastChild_ = this;
        if (parent_->firstChild_ == nullptr)
            parent_->firstChild_ = this;
    }

    ATOM atom = RegisterWindowClass();
    if (atom == 0)
        return;
    HWND nativeParent = parent_ != nullptr ? parent_->window_ : owner;
    {
        const ControlsContextScope context;
        window_ = CreateWindowExW(extendedStyle, MAKEINTATOM(atom), name_.c_str(), windowStyle,
                                  0, 0, 0, 0, nativeParent, nullptr,
                                  ProductDefinition::GetInstance(), nullptr);
    }
    if (window_ == nullptr)
        return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    attached_ = window_;
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FONT)), 0);
}

KZ_UIWindow::~KZ_UIWindow()
{
    // Deleted while the native window lives: cut the window off first, so its destruction
    // does not come back here. Native children still delete themselves meanwhile.
    if (attached_ != nullptr) {
        SetWindowLongPtrW(attached_, GWLP_USERDATA, 0);
        attached_ = nullptr;
    }
    if (window_ != nullptr) {
        HWND window = window_;
        window_ = nullptr;
        DestroyWindow(window);
    }
    // Whatever is still linked below has no native window that would end it: detach it.
    KZ_UIWindow* child = firstChild_;
    while (child != nullptr) {
        KZ_UIWindow* next = child->nextSibling_;
        child->parent_ = nullptr;
        child->nextSibling_ = nullptr;
        child->previousSibling_ = nullptr;
        child = next;
    }
    firstChild_ = nullptr;
    lastChild_ = nullptr;

    if (previousSibling_ != nullptr)
        previousSibling_->nextSibling_ = nextSibling_;
    if (nextSibling_ != nullptr)
        nextSibling_->previousSibling_ = previousSibling_;
    if (parent_ != nullptr) {
        if (parent_->firstChild_ == this)
            parent_->firstChild_ = nextSibling_;
        if (parent_->lastChild_ == this)
            parent_->lastChild_ = previousSibling_;
    }
    parent_ = nullptr;
    nextSibling_ = nullptr;
    previousSibling_ = nullptr;
    delete cell_;
    cell_ = nullptr;
    delete layout_;
    layout_ = nullptr;
    name_.Clear();
}

bool KZ_UIWindow::IsKindOf(const char* className) const
{
    return std::strcmp(className, "KZ_UIWindow") == 0 || KZ_EventListener::IsKindOf(className);
}

WString KZ_UIWindow::GetMessage(const WString& key, const WStringArray& parameters)
{
    if (GetCatalog() != nullptr || GetFallbackCatalog() != nullptr)
        return KZ_EventListener::GetMessage(key, parameters);
    if (parent_ != nullptr)
        return parent_->GetMessage(name_ + L"." + key, parameters);
    return key;
}

void KZ_UIWindow::GetPreferredSize(int* width, int* height)
{
    if (layout_ != nullptr) {
        layout_->GetPreferredSize(this, width, height);
        return;
    }
    *width = 10;
    *height = 10;
}

UILook* KZ_UIWindow::GetLook()
{
    if (parent_ != nullptr)
        return parent_->GetLook();
    return UILook::GetDefault();
}

void KZ_UIWindow::SetLook(UILook*)
{
}

int KZ_UIWindow::CanFocus()
{
    return 0;
}

void KZ_UIWindow::Focus()
{
    if (parent_ == nullptr && nextSibling_ == nullptr)
        return;
    KZ_UIWindow* candidate = nextSibling_ != nullptr ? nextSibling_ : parent_->firstChild_;
    while (candidate != nullptr && candidate != this) {
        if (candidate->CanFocus()) {
            candidate->Focus();
            return;
        }
        candidate = candidate->nextSibling_ != nullptr
                        ? candidate->nextSibling_
                        : (parent_ != nullptr ? parent_->firstChild_ : nullptr);
    }
}

void KZ_UIWindow::Paint(HDC dc, const RECT& area)
{
    FillRect(dc, &area, GetBackground());
}

void KZ_UIWindow::OnSize(int, int)
{
}

int KZ_UIWindow::OnCommand(int, int)
{
    return 0;
}

void KZ_UIWindow::OnClose()
{
}

void KZ_UIWindow::OnDestroy()
{
}

void KZ_UIWindow::Invalidate()
{
    if (window_ != nullptr)
        InvalidateRect(window_, nullptr, FALSE);
}

bool KZ_UIWindow::CanEndSession()
{
    return true;
}

int KZ_UIWindow::OnActivate(bool)
{
    return 0;
}

int KZ_UIWindow::IsDefaultButton()
{
    return 0;
}

wchar_t KZ_UIWindow::GetAccessKey()
{
    return 0;
}

void KZ_UIWindow::DropReference()
{
    if (--references_ <= 0)
        delete this;
}

void KZ_UIWindow::Release()
{
    if (window_ != nullptr) {
        // OnDestroy runs from WM_DESTROY; the object is gone when DestroyWindow returns.
        DestroyWindow(window_);
        return;
    }
    // Between WM_DESTROY and WM_NCDESTROY the native teardown already owns the end.
    if (attached_ == nullptr)
        DropReference();
}

void KZ_UIWindow::Show(bool show)
{
    if (window_ != nullptr)
        ShowWindow(window_, show ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void KZ_UIWindow::Move(int x, int y, int width, int height)
{
    if (window_ != nullptr)
        SetWindowPos(window_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (layout_ != nullptr)
        layout_->Apply(this);
}

void KZ_UIWindow::GetClientSize(int* width, int* height) const
{
    *width = 0;
    *height = 0;
    RECT client;
    if (window_ != nullptr && GetClientRect(window_, &client)) {
        *width = client.right - client.left;
        *height = client.bottom - client.top;
    }
}

void KZ_UIWindow::SetBackground(HBRUSH background)
{
    background_ = background;
    Invalidate();
}

HBRUSH KZ_UIWindow::GetBackground() const
{
    for (const KZ_UIWindow* window = this; window != nullptr; window = window->parent_) {
        if (window->background_ != nullptr)
            return window->background_;
    }
    return UILook::SystemColourBrush(COLOR_BTNFACE);
}

void KZ_UIWindow::SetLayoutCell(UILayoutCell* cell)
{
    if (cell_ != cell)
        delete cell_;
    cell_ = cell;
}

void KZ_UIWindow::SetLayout(UILayout* layout)
{
    if (layout_ != layout)
        delete layout_;
    layout_ = layout;
}

KZ_UIWindow* KZ_UIWindow::FindDefaultButton()
{
    if (IsDefaultButton())
        return this;
    for (KZ_UIWindow* child = firstChild_; child != nullptr; child = child->nextSibling_) {
        KZ_UIWindow* found = child->FindDefaultButton();
        if (found != nullptr)
            return found;
    }
    return nullptr;
}
