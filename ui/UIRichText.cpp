#include "ui/UIRichText.h"

#include "archive/Archive.h"
#include "archive/ResourceBuffer.h"

#include <richedit.h>

#include <cstring>
#include <new>

// ES_MULTILINE | ES_READONLY | ES_SUNKEN | WS_VSCROLL
static const DWORD kRichTextStyle = 0x204804;
static const int kDefaultTextLimit = 32767;

UIRichText::UIRichText(KZ_UIWindow* parent, const WString& name)
    : KZ_UIControl(parent, name, 0, L"RICHEDIT", kRichTextStyle, 0), document_(nullptr),
      documentSize_(0)
{
    if (GetControl() != nullptr)
        SetWindowTextW(GetControl(), L"");
}

UIRichText::~UIRichText()
{
    delete[] document_;
    document_ = nullptr;
    documentSize_ = 0;
}

int UIRichText::OnCommand(int, int)
{
    return 0;
}

HRESULT UIRichText::LoadRtf(const WString& entryName)
{
    ResourceBuffer resource;
    Archive archive;
    const void* content = nullptr;
    int length = 0;
    if (FAILED(resource.Open(L"RESOURCES", L"KZ")) ||
        FAILED(archive.Open(resource.Data(), resource.Remaining())) ||
        FAILED(archive.Get(entryName, &content, &length)) || content == nullptr || length <= 0)
        return E_FAIL;
    char* document = new (std::nothrow) char[length + 1];
    if (document == nullptr)
        return E_FAIL;
    std::memcpy(document, content, length);
    document[length] = 0;
    delete[] document_;
    document_ = document;
    documentSize_ = length;
    if (GetControl() != nullptr) {
        // The control keeps 32,767 characters unless told otherwise and cuts the rest
        // silently. The document's byte count bounds the characters it can show.
        LPARAM limit = length > kDefaultTextLimit ? length : kDefaultTextLimit;
        SendMessageW(GetControl(), EM_EXLIMITTEXT, 0, limit);
        SetWindowTextA(GetControl(), document_);
    }
    return S_OK;
}

int UIRichText::GetDocument(const char** bytes, int* count) const
{
    *bytes = document_;
    *count = documentSize_;
    return 1;
}
