#pragma once
#include "foundation/WString.h"

// Opens a document as the signed-in user rather than as this elevated program: the user's own
// desktop shell (Explorer) is asked to open it, so whatever program it starts has the user's
// rights, not the administrator's. Main thread, COM initialised.
class UserShell {
public:
    // S_OK when the desktop shell took the document. Otherwise the document is opened here only
    // when this process is not elevated (it then runs as the user anyway); an elevated setup
    // leaves it unopened rather than give its rights to a browser. Nothing is recorded.
    static HRESULT OpenDocument(HWND owner, const WString& document, const WString& folder, int show);

    // Through the desktop shell alone; its HRESULT.
    static HRESULT OpenThroughDesktop(const WString& document, const WString& folder, int show);
    // Whether this process runs with an elevated token; true when it cannot be told.
    static bool IsElevated();
};
