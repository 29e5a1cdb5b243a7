#include "TasksTestSupport.h"

namespace tasks {

std::wstring CurrentDirectory()
{
    wchar_t buffer[MAX_PATH + 1];
    DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, length <= MAX_PATH ? length : 0);
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    std::wstring x = a, y = b;
    while (!x.empty() && x.back() == L'\\')
        x.pop_back();
    while (!y.empty() && y.back() == L'\\')
        y.pop_back();
    return lstrcmpiW(x.c_str(), y.c_str()) == 0;
}

} // namespace tasks
