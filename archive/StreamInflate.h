#pragma once
// The two ways the extraction reads a large block's zlib stream, shared by the serial reader
// and the inflating helper thread, each of which keeps its own stream.
#include "foundation/ScopedHandle.h"

struct z_stream_s;

// Owner of a stream that inflateInit set up: ends and frees it.
struct InflateStreamTraits {
    using Handle = z_stream_s*;
    static z_stream_s* Invalid() { return nullptr; }
    static bool Close(z_stream_s* stream);
};
using ScopedInflateStream = ScopedHandle<InflateStreamTraits>;

// A stream over size compressed bytes; empty when it cannot be had (out of memory).
ScopedInflateStream OpenInflateStream(const unsigned char* compressed, long long size);

// Inflates up to count bytes into buffer; returns how many came. Fewer than count means the
// stream failed or ended (*ended is set when it ended).
int InflateExactly(z_stream_s* stream, unsigned char* buffer, int count, bool* ended);

// Runs the stream to its end through buffer (size bytes at a time), asking for one byte more
// than the content left so that a stream longer than its block shows. True when it ended at
// exactly content bytes; *produced counts what came.
bool InflateToEnd(z_stream_s* stream, unsigned char* buffer, int size, long long content,
                  long long* produced, bool* ended);
