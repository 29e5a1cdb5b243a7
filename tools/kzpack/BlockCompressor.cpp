#include "BlockCompressor.h"

#include <libdeflate.h>
#include <zlib.h>

namespace {
// libdeflate's highest level: its slowest search, the smallest streams it makes.
const int kBestLevel = 12;
}

BlockCompressor::BlockCompressor(bool best) : best_(best) {}

BlockCompressor::~BlockCompressor()
{
    if (compressor_)
        libdeflate_free_compressor(compressor_);
}

bool BlockCompressor::Compress(const std::vector<uint8_t>& data, std::vector<uint8_t>* stream,
                               std::string* error)
{
    if (!best_) {
        uLongf length = compressBound(static_cast<uLong>(data.size()));
        stream->resize(length);
        const int result = compress(stream->data(), &length, data.data(), static_cast<uLong>(data.size()));
        if (result != Z_OK) {
            *error = "compress failed (zlib error " + std::to_string(result) + ")";
            return false;
        }
        stream->resize(length);
        return true;
    }
    if (!compressor_ && !(compressor_ = libdeflate_alloc_compressor(kBestLevel))) {
        *error = "libdeflate cannot make a compressor (out of memory)";
        return false;
    }
    // Within the bound the compressor always succeeds; 0 would be a stream that did not fit.
    stream->resize(libdeflate_zlib_compress_bound(compressor_, data.size()));
    const size_t length = libdeflate_zlib_compress(compressor_, data.data(), data.size(),
                                                   stream->data(), stream->size());
    if (length == 0) {
        *error = "libdeflate_zlib_compress failed";
        return false;
    }
    stream->resize(length);
    return true;
}
