// One run of setup.exe as a person sees it: the wizard window, its pages and buttons, its
// message boxes and the keyboard. Every wait is bounded; the process is killed when the
// session ends while it still runs.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <string>

#include "tests/e2e/DriverOptions.h"
#include "tests/e2e/SetupProcess.h"

class WizardSession {
public:
    explicit WizardSession(const DriverOptions& options);
    ~WizardSession();

    // Starts the program and waits for the wizard showing its Welcome page.
    bool Start();
    HWND Wizard() const { return wizard_; }
    SetupProcess& Process() { return process_; }

    // Name of the one visible page; empty when none or several are visible.
    std::wstring CurrentPage() const;
    bool WaitForPage(const wchar_t* page, DWORD timeoutMs);

    // Wizard buttons by container name ("WizardNext", "WizardPrevious", "WizardCancel").
    HWND Button(const wchar_t* container) const;
    HWND Control(std::initializer_list<const wchar_t*> path) const;
    bool IsEnabled(const wchar_t* container) const;
    std::wstring Text(const wchar_t* container) const;
    // Checks caption and enabled state of a wizard button.
    bool CheckButton(const wchar_t* container, const wchar_t* caption, bool enabled) const;
    // Clicks an enabled button (a wizard button or any native control) without waiting for
    // what the click starts.
    bool Push(const wchar_t* container);
    bool Click(HWND native, const char* what);
    // A character typed on the keyboard: goes to the focused control, else the active window.
    void Type(wchar_t character);

    // Polls condition until it holds. Fails early, with a message, when the program ends or
    // shows a message box other than allowedBox (caption; null: none allowed).
    bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, const char* what,
                   const wchar_t* allowedBox = nullptr);
    HWND WaitForBox(const wchar_t* caption, DWORD timeoutMs);
    // True when no message box of the program appears for the whole time.
    bool NoBoxFor(DWORD ms);
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode);

    // Screenshot of the wizard and its boxes into the shots folder; prints "SHOT <path>".
    bool Shot(const wchar_t* name);

private:
    bool ReportUnexpected(const wchar_t* allowedBox, const char* what);

    const DriverOptions& options_;
    SetupProcess process_;
    HWND wizard_;
    std::map<HWND, DWORD> boxesSeen_; // unexpected boxes and when they were first seen
};
