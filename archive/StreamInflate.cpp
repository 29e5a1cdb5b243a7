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

bool InflateToEnd(z_stream_s* stream, unsigned char* buffer, int size, long long content,
                  long long* produced, bool* ended)
{
    while (!*ended && *produced <= content) {
        const long long rest = content - *produced + 1;
        stream->next_out = buffer;
        stream->avail_out = static_cast<uInt>(rest < size ? rest : size);
        const uInt offered = stream->avail_out;
        const int result = inflate(stream, Z_NO_FLUSH);
        *produced += offered - stream->avail_out;
        if (result == Z_STREAM_END)
            *ended = true;
        else if (result != Z_OK)
            break;
    }
    return *ended && *produced == content;
}
