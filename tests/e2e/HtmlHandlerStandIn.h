// Binds ".html" in the test prefix to a recorder program for the time of a scenario, so that
// opening the quick-start guide can be seen; restores the previous binding afterwards.
#pragma once

#include <string>

class HtmlHandlerStandIn {
public:
    // recorder: the recorder program; it writes its command line to recorder + ".log".
    explicit HtmlHandlerStandIn(const std::wstring& recorder);
    ~HtmlHandlerStandIn();
    HtmlHandlerStandIn(const HtmlHandlerStandIn&) = delete;
    HtmlHandlerStandIn& operator=(const HtmlHandlerStandIn&) = delete;

    bool Install();
    void Restore();
    void ForgetCalls();
    // The command line of the last call; empty when there was none.
    std::wstring LastCall() const;
    // The last call's TokenElevation (0 or 1); -1 when there was none or it was not read.
    int LastElevation() const;

private:
    std::wstring recorder_;
    bool installed_;
    bool hadKey_;
    bool hadDefault_;
    std::wstring oldDefault_;
};
