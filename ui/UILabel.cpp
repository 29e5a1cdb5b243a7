#include "ui/UILabel.h"

#include "archive/Archive.h"
#include "foundation/ScopedHandle.h"
#include "ui/UILook.h"

UILabel::UILabel(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags)
    : KZ_UIWindow(parent, name, styleFlags, nullptr, kChildWindowStyle, 0),
      inset_(UILook::Scale(8)), textFormat_(0)
{
    WString version;
    if (FAILED(GetPackagedVersion(&version)))
        version.Clear();
    text_ = GetMessage(L"Label", version);
}

UILabel::~UILabel()
{
}

HFONT UILabel::GetFont()
{
    UILook* look = GetLook();
    if (look == nullptr)
        return nullptr;
    return (GetStyleFlags() & TitleFont) ? look->GetTitleFont() : look->GetTextFont();
}

void UILabel::GetPreferredSize(int* width, int* height)
{
    int available = *width - 2 * inset_ - 2;
    const ScopedWindowDC dc(GetWindow(), GetWindow() != nullptr ? GetDC(GetWindow()) : nullptr);
    if (!dc) {
        *width = 2 * inset_;
        *height = 2 * inset_;
        return;
    }
    const ScopedSavedDC saved(dc.get(), SaveDC(dc.get()));
    PrepareContext(dc.get());
    RECT line = {0, 0, available, 0};
    DrawTextW(dc.get(), text_.c_str(), text_.Length(), &line,
              DT_CALCRECT | DT_SINGLELINE | textFormat_);
    RECT wrapped = {0, 0, available, 0};
    DrawTextW(dc.get(), text_.c_str(), text_.Length(), &wrapped,
              DT_CALCRECT | DT_WORDBREAK | textFormat_);
    int singleHeight = line.bottom - line.top;
    int wrappedHeight = wrapped.bottom - wrapped.top;
    *width = (wrapped.right - wrapped.left) + 2 * inset_;
    *height = (wrappedHeight > singleHeight ? wrappedHeight : singleHeight) + 2 * inset_;
}

void UILabel::Paint(HDC dc, const RECT& area)
{
    KZ_UIWindow::Paint(dc, area);
    int clientWidth, clientHeight;
    GetClientSize(&clientWidth, &clientHeight);
    RECT text = {inset_, inset_, clientWidth - inset_, clientHeight - inset_};
    const ScopedSavedDC saved(dc, SaveDC(dc));
    PrepareContext(dc);
    DrawTextW(dc, text_.c_str(), text_.Length(), &text, DT_WORDBREAK | textFormat_);
}

void UILabel::PrepareContext(HDC dc)
{
    SetBkMode(dc, TRANSPARENT);
    HFONT font = GetFont();
    if (font != nullptr)
        SelectObject(dc, font);
}

void UILabel::SetText(const WString& text)
{
    // Data, not a caption: "C:\R&D" must not lose its "&" to an underlined D.
    textFormat_ = DT_NOPREFIX;
    text_ = text;
    Invalidate();
}
