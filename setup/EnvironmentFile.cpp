#include "setup/EnvironmentFile.h"

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
char* ReadAll(const WString& path, size_t* size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    char* text = nullptr;
    LARGE_INTEGER length;
    if (GetFileSizeEx(file, &length) && length.QuadPart <= kMaximumSize) {
        size_t total = static_cast<size_t>(length.QuadPart);
        text = new (std::nothrow) char[total + 1];
        size_t done = 0;
        while (text != nullptr && done < total) {
            DWORD read = 0;
            if (!ReadFile(file, text + done, static_cast<DWORD>(total - done), &read, nullptr) || read == 0) {
                delete[] text;
                text = nullptr;
            }
            done += read;
        }
        *size = total;
    }
    CloseHandle(file);
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
    char* text = ReadAll(path, &size);
    if (text == nullptr)
        return E_FAIL;

    HRESULT result = E_FAIL;
    WString temporary = path + L".tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        bool written = WriteRewritten(file, text, size);
        bool closed = CloseHandle(file) != 0;
        // The rename replaces the tool's file in one step, so it is never missing.
        if (written && closed && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
            result = S_OK;
        else
            DeleteFileW(temporary.c_str());
    }
    delete[] text;
    return result;
}
