#include "tests/e2e/SetupFileList.h"

#include "foundation/Platform.h"

namespace {

std::wstring Cp1252(const char* bytes, size_t length)
{
    if (length == 0)
        return std::wstring();
    int size = MultiByteToWideChar(1252, 0, bytes, static_cast<int>(length), nullptr, 0);
    std::wstring text(size > 0 ? size : 0, L'\0');
    if (size > 0)
        MultiByteToWideChar(1252, 0, bytes, static_cast<int>(length), &text[0], size);
    return text;
}

std::wstring Trim(const std::wstring& text)
{
    size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return std::wstring();
    size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

} // namespace

bool SetupFileList::Load(const std::wstring& setupPath)
{
    entries_.clear();
    HMODULE module = LoadLibraryExW(setupPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        error_ = L"cannot load " + setupPath;
        return false;
    }
    HRSRC resource = FindResourceW(module, L"FILES", L"SETUP");
    HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
    const char* data = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (data == nullptr) {
        error_ = L"no FILES list of type SETUP in " + setupPath;
        FreeLibrary(module);
        return false;
    }
    const size_t size = SizeofResource(module, resource);
    // Lines end at any byte below 32 read as signed, as the setup splits them.
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i < size && static_cast<signed char>(data[i]) >= 32)
            continue;
        if (i > start) {
            std::wstring line = Cp1252(data + start, i - start);
            Entry entry;
            size_t arrow = line.find(L"->");
            if (arrow == std::wstring::npos) {
                entry.source = line;
                entry.target = line;
            } else {
                entry.source = Trim(line.substr(0, arrow));
                entry.target = line.substr(arrow + 2);
                entry.target.erase(0, entry.target.find_first_not_of(L' '));
            }
            entries_.push_back(entry);
        }
        start = i + 1;
    }
    FreeLibrary(module);
    if (entries_.empty()) {
        error_ = L"the FILES list is empty";
        return false;
    }
    return true;
}
