#include "FaultReport.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "foundation/Platform.h"

namespace TestFault {

namespace {

void (*volatile g_detail)() = nullptr;

LONG WINAPI ReportFault(EXCEPTION_POINTERS* info)
{
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::fprintf(stderr, "fault 0x%08lx in %s.%s\n", static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                 test ? test->test_suite_name() : "?", test ? test->name() : "?");
    if (g_detail != nullptr)
        g_detail();
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

const struct FaultReport {
    FaultReport() { SetUnhandledExceptionFilter(ReportFault); }
} g_faultReport;

} // namespace

void SetDetail(void (*detail)())
{
    g_detail = detail;
}

} // namespace TestFault
