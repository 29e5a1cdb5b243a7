#include "archive/StreamInflate.h"

#include <cstring>
#include <new>
#include <zlib.h>

bool InflateStreamTraits::Close(z_stream_s* stream)
{
    inflateEnd(stream);
    delete stream;
    return true;
}

ScopedInflateStream OpenInflateStream(const unsigned char* compressed, long long size)
{
    ScopedInflateStream owner(new (std::nothrow) z_stream);
    z_stream* stream = owner.get();
    if (stream == nullptr)
        return owner;
    std::memset(stream, 0, sizeof *stream);
    stream->next_in = const_cast<Bytef*>(compressed);
    stream->avail_in = static_cast<uInt>(size);
    // inflateEnd leaves alone a stream whose start failed: the owner only frees it then.
    if (inflateInit(stream) != Z_OK)
        owner.reset();
    return owner;
}

namespace {

// Inflates up to count bytes into buffer; returns how many came. Fewer than count means the
// stream failed or ended (*ended is set when it ended).
int InflateExactly(z_stream_s* stream, unsigned char* buffer, int count, bool* ended)
{
    stream->next_out = buffer;
    stream->avail_out = static_cast<uInt>(count);
    while (stream->avail_out > 0) {
        const int result = inflate(stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            *ended = true;
            break;
        }
        if (result != Z_OK)
            break;
    }
    return count - static_cast<int>(stream->avail_out);
}

class Discard : public WindowSink {
public:
    explicit Discard(unsigned char* scratch) : scratch_(scratch) {}
    unsigned char* Window() override { return scratch_; }
    bool Take(long long, int, bool) override { return true; }

private:
    unsigned char* scratch_;
};

} // namespace

WindowResult InflateWindows(BlockStream& block, long long wantedFrom, long long to, bool always, WindowSink& sink)
{
    bool wantedSent = false;
    while (block.produced < to || (always && !wantedSent)) {
        // Never past `to`: what follows belongs to the next entry of the block.
        const long long end = block.produced < wantedFrom ? wantedFrom : to;
        const int count = end - block.produced < kInflateWindow ? static_cast<int>(end - block.produced) : kInflateWindow;
        const bool wanted = block.produced >= wantedFrom;
        unsigned char* window = sink.Window();
        if (window == nullptr)
            return kWindowsStopped;
        if (InflateExactly(block.stream.get(), window, count, &block.ended) != count)
            return kWindowsBadData;
        const long long from = block.produced;
        block.produced += count;
        if (!sink.Take(from, count, wanted))
            return kWindowsStopped;
        wantedSent = wantedSent || wanted;
    }
    return kWindowsDone;
}

bool FinishStream(BlockStream& block, long long content, unsigned char* scratch)
{
    Discard discard(scratch);
    if (block.produced > content || InflateWindows(block, content, content, false, discard) != kWindowsDone)
        return false;
    // One byte more is asked for, so that a stream longer than its block shows.
    if (!block.ended && InflateExactly(block.stream.get(), scratch, 1, &block.ended) != 0)
        return false;
    return block.ended;
}
