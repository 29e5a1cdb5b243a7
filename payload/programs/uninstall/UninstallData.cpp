#include "UninstallData.h"

namespace {

// Far above any real installation; bounds what a damaged file can make us allocate.
const DWORD kMaxFileSize = 16 * 1024 * 1024;
const DWORD kMaxNameUnits = 32767;

DWORD ReadUInt32(const unsigned char* p)
{
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
           (static_cast<DWORD>(p[3]) << 24);
}

} // namespace

UninstallData::UninstallData() : count_(0) {}

UninstallData::~UninstallData() = default;

void UninstallData::Clear()
{
    text_.reset();
    names_.reset();
    lengths_.reset();
    count_ = 0;
}

bool UninstallData::Load(const wchar_t* path)
{
    Clear();
    const ScopedFile file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart < 4 || size.QuadPart > kMaxFileSize)
        return false;
    const DWORD wanted = static_cast<DWORD>(size.QuadPart);
    const ScopedHeapBlock<unsigned char> bytes(static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, wanted)));
    DWORD read = 0;
    return bytes && ReadFile(file.get(), bytes.get(), wanted, &read, nullptr) && read == wanted &&
           Parse(bytes.get(), wanted);
}

bool UninstallData::Parse(const unsigned char* bytes, DWORD size)
{
    Clear();
    if (!bytes || size < 4 || size > kMaxFileSize)
        return false;
    const DWORD count = ReadUInt32(bytes);
    // Every record takes at least its 4-byte length.
    if (count > (size - 4) / 4)
        return false;

    // First pass: every length must fit in what is left of the file.
    DWORD position = 4;
    DWORD units = 0;
    for (DWORD i = 0; i < count; ++i) {
        if (size - position < 4)
            return false;
        const DWORD length = ReadUInt32(bytes + position);
        position += 4;
        if (length > kMaxNameUnits || length > (size - position) / 2)
            return false;
        position += length * 2;
        units += length + 1;
    }
    if (position != size)
        return false;

    HANDLE heap = GetProcessHeap();
    text_.reset(static_cast<wchar_t*>(HeapAlloc(heap, 0, (units ? units : 1) * sizeof(wchar_t))));
    names_.reset(static_cast<wchar_t**>(HeapAlloc(heap, 0, (count ? count : 1) * sizeof(wchar_t*))));
    lengths_.reset(static_cast<int*>(HeapAlloc(heap, 0, (count ? count : 1) * sizeof(int))));
    if (!text_ || !names_ || !lengths_) {
        Clear();
        return false;
    }

    position = 4;
    wchar_t* out = text_.get();
    for (DWORD i = 0; i < count; ++i) {
        const DWORD length = ReadUInt32(bytes + position);
        position += 4;
        names_.get()[i] = out;
        lengths_.get()[i] = static_cast<int>(length);
        for (DWORD k = 0; k < length; ++k, position += 2)
            *out++ = static_cast<wchar_t>(bytes[position] | (bytes[position + 1] << 8));
        *out++ = 0;
    }
    count_ = static_cast<int>(count);
    return true;
}
