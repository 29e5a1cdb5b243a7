#include "archive/BlockStager.h"

#include "archive/ArchiveFormat.h"
#include "archive/StreamInflate.h"
#include "archive/TargetFile.h"
#include "foundation/PathText.h"

namespace {

bool IsFolder(const WString& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// An entry's bytes into its temporary file, as they come out; a stop asked for ends it.
class StagingSink : public WindowSink {
public:
    StagingSink(unsigned char* window, TargetFile& file, BlockStager::StopTest stopping, void* context)
        : window_(window), file_(file), stopping_(stopping), context_(context)
    {
    }
    unsigned char* Window() override { return stopping_(context_) ? nullptr : window_; }
    bool Take(long long, int count, bool wanted) override { return !wanted || file_.Write(window_, count); }

private:
    unsigned char* window_;
    TargetFile& file_;
    BlockStager::StopTest stopping_;
    void* context_;
};

} // namespace

BlockStager::BlockStager(unsigned char* window, int rootLength, StopTest stopping, void* context)
    : window_(window), rootLength_(rootLength), stopping_(stopping), context_(context)
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
    BlockStream stream;
    stream.stream = OpenInflateStream(block.compressed, block.compressedSize);
    if (!stream.stream)
        return false;
    for (int i = first; i < end; ++i) {
        const long long start = static_cast<long long>(entries[i].offset) + ArchiveFormat::kStoredPrefixSize;
        const long long stop = static_cast<long long>(entries[i].offset) + entries[i].storedLength;
        if (start < stream.produced || stop > block.contentSize)
            return false;
        const WString folder = StagingFolder(targets.At(i));
        TargetFile file;
        if (folder.Length() == 0 || !file.Open(targets.At(i), folder))
            return false;
        StagingSink sink(window_, file, stopping_, context_);
        // Flushed when it is to replace a file; a failing flush or close fails the run.
        if (InflateWindows(stream, start, stop, false, sink) != kWindowsDone || !file.Finish())
            return false;
        WString written;
        file.Keep(&written);
        temporaries->Append(written);
    }
    return FinishStream(stream, block.contentSize, window_);
}
