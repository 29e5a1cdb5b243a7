#include "tests/e2e/HtmlHandlerStandIn.h"

#include <vector>

#include "tests/e2e/FileProbe.h"
#include "tests/e2e/RegistryProbe.h"

namespace {

const wchar_t kExtension[] = L".html";
const wchar_t kClass[] = L"KzTestHtml";
// An extension and a ProgID: one key for both registry views (see SetupView.h).
const REGSAM kShared = KEY_WOW64_64KEY;

} // namespace

HtmlHandlerStandIn::HtmlHandlerStandIn(const std::wstring& recorder)
    : recorder_(recorder), installed_(false), hadKey_(false), hadDefault_(false)
{
}

HtmlHandlerStandIn::~HtmlHandlerStandIn()
{
    Restore();
}

bool HtmlHandlerStandIn::Install()
{
    if (installed_)
        return true;
    hadKey_ = RegistryProbe::KeyExists(kShared, HKEY_CLASSES_ROOT, kExtension);
    hadDefault_ = hadKey_ && RegistryProbe::ReadString(kShared, HKEY_CLASSES_ROOT, kExtension, nullptr, &oldDefault_);
    installed_ = true;
    ForgetCalls();
    return RegistryProbe::WriteString(kShared, HKEY_CLASSES_ROOT, std::wstring(kClass) + L"\\shell\\open\\command", nullptr,
                                      L"\"" + recorder_ + L"\" \"%1\"") &&
           RegistryProbe::WriteString(kShared, HKEY_CLASSES_ROOT, kExtension, nullptr, kClass);
}

void HtmlHandlerStandIn::Restore()
{
    if (!installed_)
        return;
    installed_ = false;
    if (!hadKey_)
        RegistryProbe::DeleteTree(kShared, HKEY_CLASSES_ROOT, kExtension);
    else if (hadDefault_)
        RegistryProbe::WriteString(kShared, HKEY_CLASSES_ROOT, kExtension, nullptr, oldDefault_);
    else
        RegistryProbe::DeleteValue(kShared, HKEY_CLASSES_ROOT, kExtension, nullptr);
    RegistryProbe::DeleteTree(kShared, HKEY_CLASSES_ROOT, kClass);
}

void HtmlHandlerStandIn::ForgetCalls()
{
    DeleteFileW((recorder_ + L".log").c_str());
}

namespace {

const wchar_t kElevationLine[] = L"\nTokenElevation=";

// The recorder's log: the command line, then the elevation line.
std::wstring ReadLog(const std::wstring& path)
{
    std::vector<uint8_t> content;
    if (!FileProbe::Read(path, &content) || content.size() < 2)
        return std::wstring();
    return std::wstring(reinterpret_cast<const wchar_t*>(content.data()), content.size() / sizeof(wchar_t));
}

} // namespace

std::wstring HtmlHandlerStandIn::LastCall() const
{
    const std::wstring log = ReadLog(recorder_ + L".log");
    return log.substr(0, log.rfind(kElevationLine));
}

int HtmlHandlerStandIn::LastElevation() const
{
    const std::wstring log = ReadLog(recorder_ + L".log");
    const size_t at = log.rfind(kElevationLine);
    if (at == std::wstring::npos)
        return -1;
    const std::wstring value = log.substr(at + lstrlenW(kElevationLine));
    return value == L"0" ? 0 : value == L"1" ? 1 : -1;
}
