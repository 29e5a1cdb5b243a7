#pragma once
// The one way a large block's zlib stream is read: window by window, for the serial reader,
// the inflating helper thread and the stager, each of which keeps its own stream.
#include "foundation/ScopedHandle.h"

struct z_stream_s;

// Bytes inflated at a time from a large block; a block whose content fits in one window is
// small: inflated whole, and checked, before any of its files is opened.
const int kInflateWindow = 256 * 1024;
inline bool IsLargeBlock(long long contentSize)
{
    return contentSize > kInflateWindow;
}

// Owner of a stream that inflateInit set up: ends and frees it.
struct InflateStreamTraits {
    using Handle = z_stream_s*;
    static z_stream_s* Invalid() { return nullptr; }
    static bool Close(z_stream_s* stream);
};
using ScopedInflateStream = ScopedHandle<InflateStreamTraits>;

// A stream over size compressed bytes; empty when it cannot be had (out of memory).
ScopedInflateStream OpenInflateStream(const unsigned char* compressed, long long size);

// Where the windows of InflateWindows go.
class WindowSink {
public:
    // The buffer for the next window (kInflateWindow bytes); null stops the reading.
    virtual unsigned char* Window() = 0;
    // The window holds content [from, from + count); wanted when those are bytes asked for
    // rather than a gap before them. False stops the reading.
    virtual bool Take(long long from, int count, bool wanted) = 0;

protected:
    ~WindowSink() = default;
};

// A block's stream and how far it has come.
struct BlockStream {
    ScopedInflateStream stream;
    long long produced = 0;     // content bytes inflated so far
    bool ended = false;         // the stream's end (and check) has been reached
};
enum WindowResult { kWindowsDone, kWindowsBadData, kWindowsStopped };

// Inflates the stream's content up to `to`, never past it, a window at a time: the bytes
// before wantedFrom go to the sink as a gap. With always, the wanted part gets one window
// even when it is empty. kWindowsBadData when the stream fails or ends before `to`.
WindowResult InflateWindows(BlockStream& block, long long wantedFrom, long long to, bool always, WindowSink& sink);
// Runs the stream to its end through scratch (kInflateWindow bytes): true when it ends, and
// passes its check, at exactly content bytes.
bool FinishStream(BlockStream& block, long long content, unsigned char* scratch);
