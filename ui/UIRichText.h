#pragma once
#include "ui/KZ_UIControl.h"

#include <memory>

// Read-only rich edit view ("RICHEDIT" of Riched32.dll) showing an RTF document of the install
// archive. Keeps its own NUL-terminated copy of the document.
class UIRichText : public KZ_UIControl {
public:
    UIRichText(KZ_UIWindow* parent, const WString& name);
    ~UIRichText() override;

    int OnCommand(int notificationCode, int controlId) override;

    // Reads the archive entry and sets it as the control's text. E_FAIL (text kept) when the
    // entry cannot be read or is empty.
    HRESULT LoadRtf(const WString& entryName);
    // The document bytes (terminating NUL not counted); null and 0 before a LoadRtf succeeded.
    int GetDocument(const char** bytes, int* count) const;

private:
    std::unique_ptr<char[]> document_;
    int documentSize_;
};
