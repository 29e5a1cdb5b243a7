#pragma once
// An install archive read back on the host, for listing, checking and unpacking.
#include <cstdint>
#include <string>
#include <vector>

struct ImageEntry {
    std::u16string name;
    int32_t block;
    int32_t offset;
    int32_t storedLength;
};

struct ImageBlock {
    int64_t offset;
    int32_t compressedSize;
    int32_t contentSize;
};

class ArchiveImage {
public:
    bool Load(const std::string& path, std::string* error);
    // Trailer, directory and records only: enough to list.
    bool Decode(std::string* error);
    // Every block stream, every record inside its block, the layout rule. One line per
    // problem; true when there is none.
    bool Verify(std::vector<std::string>* problems);
    // Content of one block, inflated to exactly its stated size.
    bool InflateBlock(int32_t index, std::vector<uint8_t>* content, std::string* error) const;

    const std::vector<ImageEntry>& Entries() const { return entries_; }
    const std::vector<ImageBlock>& Blocks() const { return blocks_; }

private:
    bool WalkBlocks(std::string* error);

    std::vector<uint8_t> bytes_;
    std::vector<uint8_t> directory_;
    std::vector<ImageEntry> entries_;
    std::vector<ImageBlock> blocks_;
    int64_t dataEnd_ = 0;
    int64_t directoryUsed_ = 0;
};
