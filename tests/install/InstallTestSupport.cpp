#include "InstallTestSupport.h"

#include "foundation/PlatformError.h"

namespace kztest {

const wchar_t kUninstallRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::wstring DefaultValue(HKEY root, const std::wstring& key)
{
    RegValue value = ReadValue(root, key, nullptr);
    return value.found ? value.Text() : L"<missing>";
}

std::wstring Std(const WString& text)
{
    return std::wstring(text.c_str(), static_cast<size_t>(text.Length()));
}

std::wstring Pid()
{
    return std::to_wstring(GetCurrentProcessId());
}

std::wstring NewGuidText(GUID* guid)
{
    CoCreateGuid(guid);
    return GuidText(*guid);
}

std::wstring ErrorText()
{
    return Std(PlatformError::GetErrorText());
}

std::vector<std::wstring> ContextLines()
{
    std::vector<std::wstring> lines;
    WStringArray context = PlatformError::GetContext();
    for (int i = 0; i < context.Count(); ++i)
        lines.push_back(Std(context.At(i)));
    return lines;
}

} // namespace kztest
