#include "archive/DirectoryPath.h"

#include "foundation/PathText.h"

#include <memory>
#include <new>

namespace {

inline bool Exists(const wchar_t* path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

// Walks up from the full path to the first existing ancestor, then creates the missing levels
// outermost first. Done in a loop on one copy of the path, so a deep path costs neither
// recursion depth nor a string per level.
void CreateDirectoryPath(const WString& path)
{
    const int length = path.Length();
    if (length == 0 || Exists(path.c_str()))
        return;

    const std::unique_ptr<wchar_t[]> owner(new (std::nothrow) wchar_t[static_cast<size_t>(length) + 1]);
    wchar_t* buffer = owner.get();
    if (buffer == nullptr)
        return;     // the write into the folder reports the failure
    const wchar_t* text = path.c_str();
    for (int i = 0; i <= length; ++i)
        buffer[i] = text[i];

    // Cut the path back one separator at a time; a separator at index 0 ends the walk.
    int end = length;
    for (;;) {
        int cut = end - 1;
        while (cut > 0 && !PathText::IsSeparator(buffer[cut]))
            --cut;
        if (cut <= 0)
            break;
        buffer[cut] = 0;
        if (Exists(buffer)) {
            buffer[cut] = text[cut];
            break;
        }
        end = cut;
    }

    // buffer now ends at the outermost missing level; the levels below it end at the cuts
    // still set to 0. Create each, then put its separator back to reach the next.
    for (;;) {
        CreateDirectoryW(buffer, nullptr);
        if (end >= length)
            break;
        buffer[end] = text[end];
        while (end < length && buffer[end] != 0)
            ++end;
    }
}
