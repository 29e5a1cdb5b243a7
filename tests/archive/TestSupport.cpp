#include "TestSupport.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include "archive/ArchiveFormat.h"

namespace ArchiveTest {

std::string ResourceBytes(const wchar_t* name, const wchar_t* type)
{
    HRSRC resource = FindResourceW(nullptr, name, type);
    if (resource == nullptr)
        return std::string();
    HGLOBAL loaded = LoadResource(nullptr, resource);
    const char* data = static_cast<const char*>(LockResource(loaded));
    return data ? std::string(data, SizeofResource(nullptr, resource)) : std::string();
}

std::wstring FixturePath(const std::wstring& relative)
{
    std::wstring path = L"Z:" KZ_TEST_FIXTURES L"/";
    for (wchar_t c : relative)
        path.push_back(c == L'\\' ? L'/' : c);
    return path;
}

std::wstring FromCp1252(const std::string& bytes)
{
    if (bytes.empty())
        return std::wstring();
    std::wstring text(bytes.size() * 2, L'\0');
    int units = MultiByteToWideChar(1252, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0],
                                    static_cast<int>(text.size()));
    text.resize(units > 0 ? units : 0);
    return text;
}

std::vector<std::wstring> ListNames(const std::string& list)
{
    std::vector<std::wstring> names;
    size_t position = 0;
    while (position < list.size()) {
        size_t end = list.find("\r\n", position);
        if (end == std::string::npos)
            end = list.size();
        std::string line = list.substr(position, end - position);
        position = end + 2;
        if (line.empty())
            continue;
        size_t arrow = line.find("->");
        if (arrow != std::string::npos) {
            line = line.substr(arrow + 2);
            line.erase(0, line.find_first_not_of(' ') == std::string::npos ? line.size() : line.find_first_not_of(' '));
        }
        names.push_back(FromCp1252(line));
    }
    return names;
}

void PutInt32(std::vector<uint8_t>& out, int32_t value)
{
    ArchiveFormat::AppendInt32(out, value);
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data)
{
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> stream(length);
    compress(stream.data(), &length, data.data(), static_cast<uLong>(data.size()));
    stream.resize(length);
    return stream;
}

void MemoryArchive::Add(const std::u16string& name, const std::string& content)
{
    entries_.push_back(Entry{name, blockNumber_, static_cast<int32_t>(open_.size()),
                             static_cast<int32_t>(content.size() + 4)});
    PutInt32(open_, static_cast<int32_t>(content.size()));
    open_.insert(open_.end(), content.begin(), content.end());
}

void MemoryArchive::CloseBlock()
{
    if (open_.empty())
        return;
    const std::vector<uint8_t> stream = Deflate(open_);
    PutInt32(blocks_, static_cast<int32_t>(stream.size()));
    PutInt32(blocks_, static_cast<int32_t>(open_.size()));
    blocks_.insert(blocks_.end(), stream.begin(), stream.end());
    open_.clear();
    ++blockNumber_;
}

std::vector<uint8_t> MemoryArchive::DirectoryBytes() const
{
    std::vector<uint8_t> directory;
    for (const Entry& entry : entries_)
        ArchiveFormat::AppendRecord(directory, entry.name, entry.block, entry.offset, entry.storedLength);
    return directory;
}

std::vector<uint8_t> MemoryArchive::Build() const
{
    const std::vector<uint8_t> directory = DirectoryBytes();
    return Assemble(blocks_, Deflate(directory), static_cast<int32_t>(directory.size()),
                    static_cast<int32_t>(entries_.size()));
}

std::vector<uint8_t> MemoryArchive::Assemble(const std::vector<uint8_t>& blocks, const std::vector<uint8_t>& stream,
                                             int32_t directorySize, int32_t entryCount)
{
    std::vector<uint8_t> archive(blocks);
    PutInt32(archive, directorySize);
    PutInt32(archive, entryCount);
    archive.insert(archive.end(), stream.begin(), stream.end());
    PutInt32(archive, static_cast<int32_t>(stream.size()));
    return archive;
}

std::u16string U16(const wchar_t* text)
{
    std::u16string out;
    for (; *text; ++text)
        out.push_back(static_cast<char16_t>(*text));
    return out;
}

// Names of the files in a folder tree, relative to it.
std::vector<std::wstring> FilesBelow(const std::wstring& root, const std::wstring& relative)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((root + L"\\" + relative + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            for (const std::wstring& below : FilesBelow(root, relative + name + L"\\"))
                names.push_back(below);
        } else {
            names.push_back(relative + name);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

} // namespace ArchiveTest
