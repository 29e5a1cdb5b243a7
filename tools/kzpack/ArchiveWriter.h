#pragma once
// Lays down an install archive: entries go into blocks in the order they are added, a block is
// closed once its content holds more than the threshold, and the directory and trailer follow.
#include <cstdint>
#include <string>
#include <vector>

#include "BlockCompressor.h"

class ArchiveWriter {
public:
    // best: every stream made by libdeflate's highest level instead of zlib's default.
    explicit ArchiveWriter(bool best = false) : compressor_(best) {}
    bool Add(const std::u16string& name, const uint8_t* data, size_t size, std::string* error);
    // Closes the last block and appends D, N, the directory stream and Z.
    bool Finish(std::vector<uint8_t>* archive, std::string* error);

private:
    bool WriteBlock(std::string* error);

    BlockCompressor compressor_;
    std::vector<uint8_t> out_;
    std::vector<uint8_t> block_;
    std::vector<uint8_t> directory_;
    std::vector<uint8_t> stream_;
    int32_t blockNumber_ = 0;
    int32_t entryCount_ = 0;
};
