#include "ui/UILabel.h"

#include "archive/Archive.h"
#include "ui/UILook.h"

UILabel::UILabel(KZ_UIWindow* parent, const WString& name, unsigned int styleFlags)
    : KZ_UIWindow(parent, name, styleFlags, nullptr,
                  WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0),
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
    return (GetStyleFlags() & 1) ? look->GetTitleFont() : look->GetTextFont();
}

void UILabel::GetPreferredSize(int* width, int* height)
{
    int available = *width - 2 * inset_ - 2;
    HDC dc = GetWindow() != nullptr ? GetDC(GetWindow()) : nullptr;
    if (dc == nullptr) {
        *width = 2 * inset_;
        *height = 2 * inset_;
        return;
    }
    int oldMode = SetBkMode(dc, TRANSPARENT);
    HFONT font = GetFont();
    HGDIOBJ oldFont = font != nullptr ? SelectObject(dc, font) : nullptr;

    RECT line = {0, 0, available, 0};
    DrawTextW(dc, text_.c_str(), text_.Length(), &line,
              DT_CALCRECT | DT_SINGLELINE | textFormat_);
    RECT wrapped = {0, 0, available, 0};
    DrawTextW(dc, text_.c_str(), text_.Length(), &wrapped,
              DT_CALCRECT | DT_WORDBREAK | textFormat_);

    if (font != nullptr)
        SelectObject(dc, oldFont);
    SetBkMode(dc, oldMode);
    ReleaseDC(GetWindow(), dc);

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
    HFONT font = GetFont();
    HGDIOBJ oldFont = font != nullptr ? SelectObject(dc, font) : nullptr;
    int oldMode = SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text_.c_str(), text_.Length(), &text, DT_WORDBREAK | textFormat_);
    SetBkMode(dc, oldMode);
    if (font != nullptr)
        SelectObject(dc, oldFont);
}

void UILabel::SetText(const WString& text)
{
    // Data, not a caption: "C:\R&D" must not lose its "&" to an underlined D.
    textFormat_ = DT_NOPREFIX;
    text_ = text;
    Invalidate();
}
