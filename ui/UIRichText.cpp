#include "ui/UIRichText.h"

#include "ui/UIArchiveEntry.h"

#include <richedit.h>

#include <cstring>
#include <new>
#include <utility>

static const DWORD kRichTextStyle = ES_MULTILINE | ES_READONLY | ES_SUNKEN | WS_VSCROLL;
static const int kDefaultTextLimit = 32767;

UIRichText::UIRichText(KZ_UIWindow* parent, const WString& name)
    : KZ_UIControl(parent, name, 0, L"RICHEDIT", kRichTextStyle, 0), documentSize_(0)
{
    if (GetControl() != nullptr)
        SetWindowTextW(GetControl(), L"");
}

UIRichText::~UIRichText()
{
}

int UIRichText::OnCommand(int, int)
{
    return 0;
}

HRESULT UIRichText::LoadRtf(const WString& entryName)
{
    UIArchiveEntry entry;
    if (FAILED(entry.Open(entryName)) || entry.Data() == nullptr || entry.Length() <= 0)
        return E_FAIL;
    const int length = entry.Length();
    std::unique_ptr<char[]> document(new (std::nothrow) char[length + 1]);
    if (!document)
        return E_FAIL;
    std::memcpy(document.get(), entry.Data(), length);
    document[length] = 0;
    document_ = std::move(document);
    documentSize_ = length;
    if (GetControl() != nullptr) {
        // The control keeps 32,767 characters unless told otherwise and cuts the rest
        // silently. The document's byte count bounds the characters it can show.
        LPARAM limit = length > kDefaultTextLimit ? length : kDefaultTextLimit;
        SendMessageW(GetControl(), EM_EXLIMITTEXT, 0, limit);
        SetWindowTextA(GetControl(), document_.get());
    }
    return S_OK;
}

int UIRichText::GetDocument(const char** bytes, int* count) const
{
    *bytes = document_.get();
    *count = documentSize_;
    return 1;
}
