#include "archive/TemporaryFiles.h"

#include "foundation/TemporaryName.h"

namespace TemporaryFiles {

WString Name(const WString& folder, unsigned int n)
{
    wchar_t name[40];
    wsprintfW(name, L"\\~kz%lu-%u.tmp", GetCurrentProcessId(), n);
    return folder + name;
}

void RemoveLeftovers(const WString& folder)
{
    TemporaryName::RemoveIn(folder.c_str());
}

} // namespace TemporaryFiles
