// Output of the end-to-end driver: progress lines and counted checks.
#pragma once

#include <string>

class DriverLog {
public:
    static void Info(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
    // Prints "ok" or "FAIL" with the text; returns ok.
    static bool Check(bool ok, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));
    static void Fail(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
    static int Passed();
    static int Failed();

    static std::string Utf8(const std::wstring& text);
};
