#include "tests/e2e/WizardSession.h"

#include <cstdio>
#include <map>

#include <commctrl.h>

#include "tests/e2e/DriverLog.h"
#include "tests/e2e/MessageBoxProbe.h"
#include "tests/e2e/ProductFacts.h"
#include "tests/e2e/ScreenCapture.h"
#include "tests/e2e/WindowProbe.h"

namespace {

std::string Utf8(const std::wstring& text)
{
    return DriverLog::Utf8(text);
}

} // namespace

namespace {

const DWORD kPoll = 40;

} // namespace

WizardSession::WizardSession(const DriverOptions& options) : options_(options), wizard_(nullptr)
{
}

WizardSession::~WizardSession()
{
    if (process_.IsRunning()) {
        HWND box = MessageBoxProbe::Find(process_.ProcessId(), nullptr);
        if (box != nullptr)
            DriverLog::Info("setup still shows %s", MessageBoxProbe::Describe(box).c_str());
        DriverLog::Info("killing setup.exe (pid %lu)", static_cast<unsigned long>(process_.ProcessId()));
    }
    process_.Kill();
}

bool WizardSession::Start()
{
    wizard_ = nullptr;
    if (!DriverLog::Check(process_.Start(options_.setup, std::wstring()), "setup.exe starts (%s)",
                          Utf8(options_.setup).c_str()))
        return false;
    bool found = WaitUntil(
        [this]() {
            for (HWND window : WindowProbe::TopLevel(process_.ProcessId(), L"KZWindow", ProductFacts::kWizardCaption)) {
                if (IsWindowVisible(window)) {
                    wizard_ = window;
                    return true;
                }
            }
            return false;
        },
        30000, "the wizard window appears");
    if (!DriverLog::Check(found, "a visible \"KZWindow\" captioned \"%s\" appears", Utf8(ProductFacts::kWizardCaption).c_str()))
        return false;
    return DriverLog::Check(WaitForPage(L"Welcome", 10000), "the wizard opens on the Welcome page");
}

std::wstring WizardSession::CurrentPage() const
{
    std::wstring visible;
    for (const wchar_t* page : ProductFacts::kPages) {
        HWND window = WindowProbe::Child(wizard_, page);
        if (window != nullptr && IsWindowVisible(window)) {
            if (!visible.empty())
                return std::wstring();
            visible = page;
        }
    }
    return visible;
}

bool WizardSession::WaitForPage(const wchar_t* page, DWORD timeoutMs)
{
    std::string what = "page " + Utf8(page);
    return WaitUntil([this, page]() { return CurrentPage() == page; }, timeoutMs, what.c_str());
}

HWND WizardSession::Button(const wchar_t* container) const
{
    return WindowProbe::Native(WindowProbe::Child(wizard_, container));
}

HWND WizardSession::Control(std::initializer_list<const wchar_t*> path) const
{
    return WindowProbe::Native(WindowProbe::Path(wizard_, path));
}

bool WizardSession::IsEnabled(const wchar_t* container) const
{
    HWND button = Button(container);
    return button != nullptr && IsWindowEnabled(button);
}

std::wstring WizardSession::Text(const wchar_t* container) const
{
    return WindowProbe::Text(Button(container));
}

bool WizardSession::CheckButton(const wchar_t* container, const wchar_t* caption, bool enabled) const
{
    HWND button = Button(container);
    const std::wstring text = WindowProbe::Text(button);
    const bool isEnabled = button != nullptr && IsWindowEnabled(button);
    return DriverLog::Check(button != nullptr && WindowProbe::IsClass(button, L"Button") && text == caption &&
                                isEnabled == enabled,
                            "%s reads \"%s\" and is %s (expected \"%s\", %s)", Utf8(container).c_str(), Utf8(text).c_str(),
                            isEnabled ? "enabled" : "disabled", Utf8(caption).c_str(), enabled ? "enabled" : "disabled");
}

bool WizardSession::Push(const wchar_t* container)
{
    return Click(Button(container), Utf8(container).c_str());
}

bool WizardSession::Click(HWND native, const char* what)
{
    if (native == nullptr) {
        DriverLog::Fail("cannot click %s: no such control", what);
        return false;
    }
    if (!IsWindowEnabled(native) || !IsWindowVisible(native)) {
        DriverLog::Fail("cannot click %s: it is %s", what, IsWindowEnabled(native) ? "hidden" : "disabled");
        return false;
    }
    DriverLog::Info("click %s \"%s\"", what, Utf8(WindowProbe::Text(native)).c_str());
    return PostMessageW(native, BM_CLICK, 0, 0) != 0;
}

void WizardSession::Type(wchar_t character)
{
    HWND target = WindowProbe::KeyboardTarget(process_.MainThreadId(), wizard_);
    DriverLog::Info("type %s into %s \"%s\"", character == 13 ? "Enter" : character == 27 ? "Escape" : "a key",
                    Utf8(WindowProbe::ClassName(target)).c_str(), Utf8(WindowProbe::Text(target)).c_str());
    PostMessageW(target, WM_CHAR, character, 1);
}

bool WizardSession::ReportUnexpected(const wchar_t* allowedBox, const char* what)
{
    if (!process_.IsRunning()) {
        DWORD code = 0;
        process_.WaitForExit(0, &code);
        DriverLog::Fail("setup.exe ended (exit code %lu) while waiting for %s", static_cast<unsigned long>(code), what);
        return true;
    }
    // A box that is closing (or still being laid out) passes by; one that stays is reported.
    std::map<HWND, DWORD> seen;
    for (HWND box : WindowProbe::TopLevel(process_.ProcessId(), L"#32770", nullptr)) {
        if (!IsWindowVisible(box))
            continue;
        if (allowedBox != nullptr && WindowProbe::Text(box) == allowedBox)
            continue;
        auto earlier = boxesSeen_.find(box);
        const DWORD since = earlier != boxesSeen_.end() ? earlier->second : GetTickCount();
        seen[box] = since;
        if (GetTickCount() - since < 700)
            continue;
        DriverLog::Fail("unexpected message box %s while waiting for %s", MessageBoxProbe::Describe(box).c_str(), what);
        return true;
    }
    boxesSeen_.swap(seen);
    // The earlier installation's uninstaller is another process: its boxes count as well.
    HWND uninstaller = MessageBoxProbe::Find(0, ProductFacts::kUninstallerCaption);
    if (uninstaller != nullptr) {
        DriverLog::Fail("the uninstaller asks %s while waiting for %s", MessageBoxProbe::Describe(uninstaller).c_str(), what);
        return true;
    }
    return false;
}

bool WizardSession::WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, const char* what,
                              const wchar_t* allowedBox)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (ReportUnexpected(allowedBox, what))
            return false;
        if (GetTickCount() - start > timeoutMs) {
            DriverLog::Fail("timed out after %lu ms waiting for %s (current page \"%s\")",
                            static_cast<unsigned long>(timeoutMs), what, Utf8(CurrentPage()).c_str());
            return false;
        }
        Sleep(kPoll);
    }
}

HWND WizardSession::WaitForBox(const wchar_t* caption, DWORD timeoutMs)
{
    HWND box = nullptr;
    std::string what = "the message box \"" + Utf8(caption) + "\"";
    WaitUntil(
        [this, caption, &box]() {
            box = MessageBoxProbe::Find(process_.ProcessId(), caption);
            // A box is ready once its buttons exist.
            return box != nullptr && !MessageBoxProbe::Buttons(box).empty();
        },
        timeoutMs, what.c_str(), caption);
    if (box != nullptr)
        DriverLog::Info("message box %s", MessageBoxProbe::Describe(box).c_str());
    return box;
}

bool WizardSession::NoBoxFor(DWORD ms)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        if (ReportUnexpected(nullptr, "a quiet moment"))
            return false;
        Sleep(kPoll);
    }
    return true;
}

bool WizardSession::WaitForExit(DWORD timeoutMs, DWORD* exitCode)
{
    return process_.WaitForExit(timeoutMs, exitCode);
}

bool WizardSession::Shot(const wchar_t* name)
{
    if (options_.shots.empty() || wizard_ == nullptr)
        return true;
    Sleep(400); // let the page finish painting
    RECT area;
    if (!GetWindowRect(wizard_, &area))
        return false;
    for (HWND box : WindowProbe::TopLevel(process_.ProcessId(), L"#32770", nullptr)) {
        RECT boxArea;
        if (IsWindowVisible(box) && GetWindowRect(box, &boxArea))
            UnionRect(&area, &area, &boxArea);
    }
    InflateRect(&area, 8, 8);
    const std::wstring path = options_.shots + L"\\" + name + L".png";
    const int colours = ScreenCapture::ColourCount(area);
    bool saved = ScreenCapture::SavePng(area, path);
    if (saved) {
        std::printf("SHOT %s\n", Utf8(path).c_str());
        std::fflush(stdout);
    }
    // A drawn page has text, a banner or at least a frame: more than a few colours.
    return DriverLog::Check(saved && colours > 8, "screenshot %s saved (%d colours)", Utf8(name).c_str(), colours);
}
