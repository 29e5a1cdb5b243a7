#include "tests/e2e/DriverLog.h"

#include <cstdarg>
#include <cstdio>

#include "foundation/Platform.h"

namespace {

int g_passed = 0;
int g_failed = 0;

void Print(const char* prefix, const char* format, va_list arguments)
{
    std::fputs(prefix, stdout);
    std::vfprintf(stdout, format, arguments);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

void DriverLog::Info(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    Print("  ", format, arguments);
    va_end(arguments);
}

bool DriverLog::Check(bool ok, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    Print(ok ? "ok    " : "FAIL  ", format, arguments);
    va_end(arguments);
    if (ok)
        ++g_passed;
    else
        ++g_failed;
    return ok;
}

void DriverLog::Fail(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    Print("FAIL  ", format, arguments);
    va_end(arguments);
    ++g_failed;
}

int DriverLog::Passed()
{
    return g_passed;
}

int DriverLog::Failed()
{
    return g_failed;
}

std::string DriverLog::Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string result(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &result[0], size,
                            nullptr, nullptr);
    // Line breaks of message texts would split the log line.
    for (char& c : result) {
        if (c == '\r' || c == '\n')
            c = '|';
    }
    return result;
}
