#include "PayloadTestSupport.h"

namespace PayloadTest {

std::wstring ProgramPath(const wchar_t* fileName)
{
    std::wstring path = kztest::ProgramFolder() + L"\\";
    for (const char* p = KZ_STAGE_BIN_RELATIVE; *p; ++p)
        path.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(*p));
    path += L"\\";
    path += fileName;
    wchar_t full[MAX_PATH];
    GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return full;
}

} // namespace PayloadTest
