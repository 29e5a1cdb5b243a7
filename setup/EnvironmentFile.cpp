#include "setup/EnvironmentFile.h"

#include "archive/TargetFile.h"
#include "foundation/ScopedHandle.h"

#include <memory>
#include <new>
#include <string.h>

const char EnvironmentFile::kSettingPrefix[] = "QorUserSettingPath=";
const char EnvironmentFile::kSettingValue[] = "CSIDL_APPDATA\\..\\OrlixPlayer\\QorSettings";

namespace {

// Far above anything the tool writes; keeps the whole-file buffer bounded.
const LONGLONG kMaximumSize = 16 * 1024 * 1024;

// The whole file, or null.
std::unique_ptr<char[]> ReadAll(const WString& path, size_t* size)
{
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    std::unique_ptr<char[]> text;
    LARGE_INTEGER length;
    if (!file || !GetFileSizeEx(file.get(), &length) || length.QuadPart > kMaximumSize)
        return text;
    size_t total = static_cast<size_t>(length.QuadPart);
    text.reset(new (std::nothrow) char[total + 1]);
    size_t done = 0;
    while (text != nullptr && done < total) {
        DWORD read = 0;
        if (!ReadFile(file.get(), text.get() + done, static_cast<DWORD>(total - done), &read, nullptr) || read == 0)
            text.reset();
        done += read;
    }
    *size = total;
    return text;
}

// Copies text to file, replacing each setting line; unchanged runs go out in one write.
bool WriteRewritten(TargetFile& file, const char* text, size_t size)
{
    const size_t prefixLength = sizeof(EnvironmentFile::kSettingPrefix) - 1;
    const size_t valueLength = sizeof(EnvironmentFile::kSettingValue) - 1;
    const char* end = text + size;
    const char* pending = text;
    const char* line = text;
    while (line < end) {
        const char* feed = static_cast<const char*>(memchr(line, '\n', static_cast<size_t>(end - line)));
        const char* next = feed != nullptr ? feed + 1 : end;
        if (static_cast<size_t>(next - line) >= prefixLength &&
            memcmp(line, EnvironmentFile::kSettingPrefix, prefixLength) == 0) {
            // The new line keeps the file's own line end.
            bool crlf = feed != nullptr && feed > line && feed[-1] == '\r';
            if (!file.Write(pending, line - pending) || !file.Write(EnvironmentFile::kSettingPrefix, prefixLength) ||
                !file.Write(EnvironmentFile::kSettingValue, valueLength) || !file.Write(crlf ? "\r\n" : "\n", crlf ? 2 : 1))
                return false;
            pending = next;
        }
        line = next;
    }
    return file.Write(pending, end - pending);
}

} // namespace

HRESULT EnvironmentFile::Rewrite(const WString& path)
{
    size_t size = 0;
    const std::unique_ptr<char[]> text = ReadAll(path, &size);
    if (text == nullptr)
        return E_FAIL;

    // Through the one writer: the new file replaces the tool's in one step once complete, so
    // it is never missing nor cut off.
    TargetFile file;
    return file.Open(path) && WriteRewritten(file, text.get(), size) && file.Commit() ? S_OK : E_FAIL;
}
