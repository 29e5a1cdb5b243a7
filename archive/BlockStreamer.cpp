#include "archive/BlockStreamer.h"

#include <new>

#include "archive/ByteStream.h"
#include "foundation/PlatformError.h"

namespace {

HRESULT Fail(const wchar_t* key)
{
    PlatformError::SetError(nullptr, key);
    return E_FAIL;
}

// The wanted windows go to the output as they come.
class OutputSink : public WindowSink {
public:
    OutputSink(unsigned char* window, ByteStream* out) : window_(window), out_(out), failed_(false) {}
    unsigned char* Window() override { return window_; }
    bool Take(long long, int count, bool wanted) override
    {
        failed_ = wanted && out_->WriteBuffer(window_, count) != S_OK;
        return !failed_;
    }
    bool Failed() const { return failed_; }

private:
    unsigned char* window_;
    ByteStream* out_;
    bool failed_;
};

} // namespace

BlockStreamer::BlockStreamer() : block_(-1), content_(0)
{
}

HRESULT BlockStreamer::Write(const Block& block, int start, int end, ByteStream* out, bool* outFailed)
{
    *outFailed = false;
    // An open stream serves this entry only when it is that block's and not yet past the start.
    if (stream_.stream && (block_ != block.index || stream_.produced > start) && Finish() != S_OK)
        return E_FAIL;
    if (!stream_.stream) {
        if (!window_)
            window_.reset(new (std::nothrow) unsigned char[kInflateWindow]);
        if (window_)
            stream_.stream = OpenInflateStream(block.compressed, block.compressedSize);
        if (!stream_.stream)
            return Fail(L"OutOfMemory");
        block_ = block.index;
        content_ = block.contentSize;
        stream_.produced = 0;
        stream_.ended = false;
    }
    OutputSink sink(window_.get(), out);
    if (InflateWindows(stream_, start, end, false, sink) != kWindowsDone) {
        stream_.stream.reset();
        *outFailed = sink.Failed();
        return sink.Failed() ? E_FAIL : Fail(L"Archive.InvalidData");
    }
    // The block's last entry: its end is the stream's end, which holds the check.
    return end == content_ ? Finish() : S_OK;
}

HRESULT BlockStreamer::Finish()
{
    if (!stream_.stream)
        return S_OK;
    const bool whole = FinishStream(stream_, content_, window_.get());
    stream_.stream.reset();
    return whole ? S_OK : Fail(L"Archive.InvalidData");
}
