#include "archive/BlockStager.h"

#include "archive/ArchiveFormat.h"
#include "archive/StreamInflate.h"
#include "archive/TemporaryFiles.h"
#include "foundation/PathText.h"
#include "foundation/ScopedHandle.h"

namespace {

bool IsFolder(const WString& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool WriteAll(HANDLE file, const unsigned char* data, int size)
{
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) || written == 0 ||
            written > static_cast<DWORD>(size))
            return false;
        data += written;
        size -= static_cast<int>(written);
    }
    return true;
}

} // namespace

// Numbered apart from the writer's own temporary files (which count from 1), so that the two
// never meet; the names are the writer's form, so a killed setup's are found by the next run.
BlockStager::BlockStager(unsigned char* window, int rootLength, StopTest stopping, void* context)
    : window_(window), rootLength_(rootLength), stopping_(stopping), context_(context), made_(0x80000000u)
{
}

WString BlockStager::StagingFolder(const WString& target) const
{
    for (int cut = target.Length() - 1; cut >= rootLength_; --cut) {
        if (!PathText::IsSeparator(target[cut]))
            continue;
        const WString folder = target.Mid(0, cut);
        if (IsFolder(folder))
            return folder;
    }
    return WString();
}

bool BlockStager::HasFolder(const WString& target) const
{
    return StagingFolder(target).Length() > 0;
}

bool BlockStager::Stage(const Block& block, const InflatePipeline::Entry* entries, const WStringArray& targets,
                        int first, int end, WStringArray* temporaries)
{
    if (Run(block, entries, targets, first, end, temporaries))
        return true;
    for (int i = 0; i < temporaries->Count(); ++i)
        DeleteFileW(temporaries->At(i).c_str());
    temporaries->Clear();
    return false;
}

bool BlockStager::Run(const Block& block, const InflatePipeline::Entry* entries, const WStringArray& targets,
                      int first, int end, WStringArray* temporaries)
{
    const ScopedInflateStream stream = OpenInflateStream(block.compressed, block.compressedSize);
    if (!stream)
        return false;
    long long produced = 0;
    bool ended = false;
    for (int i = first; i < end; ++i) {
        const long long start = static_cast<long long>(entries[i].offset) + ArchiveFormat::kStoredPrefixSize;
        const long long stop = static_cast<long long>(entries[i].offset) + entries[i].storedLength;
        if (start < produced || stop > block.contentSize)
            return false;
        const WString folder = StagingFolder(targets.At(i));
        if (folder.Length() == 0)
            return false;
        ScopedFile file;
        WString path;
        for (int attempt = 0; attempt < 1000 && !file; ++attempt) {
            path = TemporaryFiles::Name(folder, ++made_);
            file.reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
            const DWORD code = file ? ERROR_SUCCESS : GetLastError();
            if (!file && code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS)
                return false;
        }
        if (!file)
            return false;
        temporaries->Append(path);
        while (produced < stop) {
            if (stopping_(context_))
                return false;
            // Never past the entry's end: what follows belongs to the next entry of the block.
            const long long to = produced < start ? start : stop;
            const int count = to - produced < kWindow ? static_cast<int>(to - produced) : kWindow;
            const bool wanted = produced >= start;
            if (InflateExactly(stream.get(), window_, count, &ended) != count)
                return false;
            if (wanted && !WriteAll(file.get(), window_, count))
                return false;
            produced += count;
        }
        // A file that is to replace an existing one is on the disk before it can: after a power
        // cut the target is the old file or the new one. A failing flush or close fails the run.
        const bool replaces = GetFileAttributesW(targets.At(i).c_str()) != INVALID_FILE_ATTRIBUTES;
        if ((replaces && !FlushFileBuffers(file.get())) || !file.close())
            return false;
    }
    return InflateToEnd(stream.get(), window_, kWindow, block.contentSize, &produced, &ended);
}
