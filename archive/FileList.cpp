#include "archive/FileList.h"

#include "foundation/PlatformError.h"

namespace {

// The lists and the archive's names are written by the packer in Windows-1252; reading them in
// the same code page finds "è" on every system, whatever its ANSI code page.
const UINT kListCodePage = 1252;

} // namespace

namespace FileList {

HRESULT Read(const WString& listName, const unsigned char* bytes, int size, WStringArray* lines)
{
    char line[kMaxLine + 1];
    int used = 0;
    int lineNumber = 1;
    for (int i = 0; i <= size; ++i) {
        const bool end = i == size || bytes[i] < 32;
        if (!end) {
            if (used == kMaxLine) {
                WStringArray parameters;
                parameters.Append(listName);
                parameters.Append(FromInt(lineNumber));
                PlatformError::SetError(nullptr, L"Archive.ListLineTooLong", parameters);
                return E_FAIL;
            }
            line[used++] = static_cast<char>(bytes[i]);
            continue;
        }
        if (used > 0)
            lines->Append(FromMultiByte(line, used, kListCodePage));
        used = 0;
        if (i < size && bytes[i] == '\n')
            ++lineNumber;
    }
    return S_OK;
}

WString EntryName(const WString& line)
{
    const int arrow = line.Find(WString(L"->"));
    if (arrow < 0)
        return line;
    int start = arrow + 2;
    const wchar_t* text = line.c_str();
    while (start < line.Length() && text[start] == L' ')
        ++start;
    return line.Mid(start, line.Length() - start);
}

} // namespace FileList
