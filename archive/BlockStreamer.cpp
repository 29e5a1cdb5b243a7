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

} // namespace

BlockStreamer::BlockStreamer()
    : block_(-1), content_(0), produced_(0), ended_(false)
{
}

// Inflates the next count bytes of the open stream into the window; false, the stream
// closed, when it fails or ends before them.
bool BlockStreamer::Inflate(int count)
{
    if (InflateExactly(stream_.get(), window_.get(), count, &ended_) != count) {
        stream_.reset();
        return false;
    }
    produced_ += count;
    return true;
}

HRESULT BlockStreamer::Write(const Block& block, int start, int end, ByteStream* out, bool* outFailed)
{
    *outFailed = false;
    // An open stream serves this entry only when it is that block's and not yet past the start.
    if (stream_ && (block_ != block.index || produced_ > start) && Finish() != S_OK)
        return E_FAIL;
    if (!stream_) {
        if (!window_)
            window_.reset(new (std::nothrow) unsigned char[kWindow]);
        if (window_)
            stream_ = OpenInflateStream(block.compressed, block.compressedSize);
        if (!stream_)
            return Fail(L"OutOfMemory");
        block_ = block.index;
        content_ = block.contentSize;
        produced_ = 0;
        ended_ = false;
    }
    while (produced_ < end) {
        // Never past the entry's end: what follows belongs to the next entry of the block.
        const long long to = produced_ < start ? start : end;
        const int count = to - produced_ < kWindow ? static_cast<int>(to - produced_) : kWindow;
        const bool wanted = produced_ >= start;
        if (!Inflate(count))
            return Fail(L"Archive.InvalidData");
        if (wanted && out->WriteBuffer(window_.get(), count) != S_OK) {
            stream_.reset();
            *outFailed = true;
            return E_FAIL;
        }
    }
    // The block's last entry: its end is the stream's end, which holds the check.
    return end == content_ ? Finish() : S_OK;
}

HRESULT BlockStreamer::Finish()
{
    if (!stream_)
        return S_OK;
    const bool whole = InflateToEnd(stream_.get(), window_.get(), kWindow, content_, &produced_, &ended_);
    stream_.reset();
    return whole ? S_OK : Fail(L"Archive.InvalidData");
}
