#pragma once
// Under Wine an unhandled fault starts the debugger, which never comes back: a test that
// faults would hang until ctest's timeout. Every test executable links FaultReport.cpp, which
// prints the fault and the running test, calls the detail function if one is set (null clears
// it), and ends the process at once with exit code 3.
namespace TestFault {

void SetDetail(void (*detail)());

} // namespace TestFault
