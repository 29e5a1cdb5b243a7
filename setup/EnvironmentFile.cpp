#include "setup/EnvironmentFile.h"

#include "foundation/ProductConstants.h"
#include "foundation/ScopedHandle.h"

#include <memory>
#include <new>
#include <string.h>

const char EnvironmentFile::kSettingPrefix[] = "QorUserSettingPath=";
const char EnvironmentFile::kSettingValue[] = "CSIDL_APPDATA\\..\\OrlixPlayer\\QorSettings";

namespace {

// Far above anything the tool writes; keeps the whole-file buffer bounded.
const LONGLONG kMaximumSize = 16 * 1024 * 1024;

bool WriteAll(HANDLE file, const char* data, size_t size)
{
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

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
bool WriteRewritten(HANDLE file, const char* text, size_t size)
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
            if (!WriteAll(file, pending, static_cast<size_t>(line - pending)) ||
                !WriteAll(file, EnvironmentFile::kSettingPrefix, prefixLength) ||
                !WriteAll(file, EnvironmentFile::kSettingValue, valueLength) ||
                !WriteAll(file, crlf ? "\r\n" : "\n", crlf ? 2 : 1))
                return false;
            pending = next;
        }
        line = next;
    }
    return WriteAll(file, pending, static_cast<size_t>(end - pending));
}

} // namespace

HRESULT EnvironmentFile::Rewrite(const WString& path)
{
    size_t size = 0;
    const std::unique_ptr<char[]> text = ReadAll(path, &size);
    if (text == nullptr)
        return E_FAIL;

    WString temporary = path + Product::kRewriteSuffix;
    ScopedFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return E_FAIL;
    bool written = WriteRewritten(file.get(), text.get(), size);
    // Closed here: a close that fails may have lost the last write.
    bool closed = file.close();
    // The rename replaces the tool's file in one step, so it is never missing.
    if (written && closed && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
        return S_OK;
    DeleteFileW(temporary.c_str());
    return E_FAIL;
}
