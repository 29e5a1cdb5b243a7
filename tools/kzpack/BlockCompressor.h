#pragma once
// Makes the zlib streams of an archive: zlib's compress at the default level, or with --best
// libdeflate's highest level. Both give RFC 1950 streams that the setup's inflate reads; the
// default ones are byte for byte those the archive has always held. --best streams begin
// 78 DA instead of 78 9C: the header's level field, which inflate does not read.
#include <cstdint>
#include <string>
#include <vector>

struct libdeflate_compressor;

class BlockCompressor {
public:
    explicit BlockCompressor(bool best);
    ~BlockCompressor();
    BlockCompressor(const BlockCompressor&) = delete;
    BlockCompressor& operator=(const BlockCompressor&) = delete;

    bool Compress(const std::vector<uint8_t>& data, std::vector<uint8_t>* stream, std::string* error);

private:
    bool best_;
    libdeflate_compressor* compressor_ = nullptr;   // made on the first --best stream
};
