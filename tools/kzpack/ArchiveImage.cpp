#include "ArchiveImage.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <zlib.h>

#include "Cp1252.h"
#include "archive/ArchiveFormat.h"

namespace {

// Inflates exactly `size` bytes from exactly `streamSize` bytes; anything else is bad data.
bool InflateExactly(const uint8_t* stream, int64_t streamSize, int64_t size,
                    std::vector<uint8_t>* out, std::string* error)
{
    // One spare byte tells a stream that inflates to more than `size` from an exact one.
    out->resize(static_cast<size_t>(size) + 1);
    uLongf produced = static_cast<uLongf>(out->size());
    uLong consumed = static_cast<uLong>(streamSize);
    const int result = uncompress2(out->data(), &produced, stream, &consumed);
    if (result != Z_OK) {
        *error = "stream does not inflate (zlib error " + std::to_string(result) + ")";
        return false;
    }
    if (static_cast<int64_t>(produced) != size) {
        *error = "stream inflates to " + std::to_string(produced) + (produced > static_cast<uLongf>(size) ? " or more" : "") +
                 " bytes, not " + std::to_string(size);
        return false;
    }
    if (static_cast<int64_t>(consumed) != streamSize) {
        *error = "stream ends after " + std::to_string(consumed) + " of its " +
                 std::to_string(streamSize) + " bytes";
        return false;
    }
    out->resize(static_cast<size_t>(size));
    return true;
}

} // namespace

bool ArchiveImage::Load(const std::string& path, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ": cannot read: " + std::strerror(errno);
        return false;
    }
    bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        *error = path + ": cannot read";
        return false;
    }
    if (!Decode(error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

bool ArchiveImage::Decode(std::string* error)
{
    entries_.clear();
    blocks_.clear();
    ArchiveFormat::Trailer trailer;
    if (bytes_.size() > static_cast<size_t>(INT32_MAX)) {
        *error = "archive is larger than 2 GiB";
        return false;
    }
    if (!ArchiveFormat::DecodeTrailer(bytes_.data(), static_cast<int64_t>(bytes_.size()), &trailer)) {
        *error = "trailer (D, N, Z) does not fit the archive";
        return false;
    }
    dataEnd_ = trailer.streamOffset - 8;
    if (!ArchiveFormat::PlausibleInflatedSize(trailer.streamSize, trailer.directorySize)) {
        *error = "directory size D is impossible for its stream";
        return false;
    }
    std::string why;
    if (!InflateExactly(bytes_.data() + trailer.streamOffset, trailer.streamSize, trailer.directorySize,
                        &directory_, &why)) {
        *error = "directory: " + why;
        return false;
    }
    int64_t position = 0;
    for (int32_t k = 0; k < trailer.entryCount; ++k) {
        ArchiveFormat::Record record;
        if (!ArchiveFormat::DecodeRecord(directory_.data(), static_cast<int64_t>(directory_.size()),
                                         &position, &record)) {
            *error = "directory record " + std::to_string(k) + " of " +
                     std::to_string(trailer.entryCount) + " is cut off";
            return false;
        }
        ImageEntry entry;
        entry.name.resize(static_cast<size_t>(record.nameUnits));
        for (int32_t u = 0; u < record.nameUnits; ++u)
            entry.name[static_cast<size_t>(u)] =
                static_cast<char16_t>(record.name[2 * u] | (record.name[2 * u + 1] << 8));
        entry.block = record.block;
        entry.offset = record.offset;
        entry.storedLength = record.storedLength;
        entries_.push_back(entry);
    }
    directoryUsed_ = position;
    return true;
}

bool ArchiveImage::WalkBlocks(std::string* error)
{
    blocks_.clear();
    int64_t offset = 0;
    while (offset < dataEnd_) {
        ArchiveFormat::BlockHeader header;
        if (!ArchiveFormat::LocateBlock(bytes_.data() + offset, dataEnd_ - offset, 0, &header)) {
            *error = "block " + std::to_string(blocks_.size()) + " at offset " + std::to_string(offset) +
                     " does not lie inside the data part";
            return false;
        }
        blocks_.push_back(ImageBlock{offset, header.compressedSize, header.contentSize});
        offset += ArchiveFormat::kBlockHeaderSize + header.compressedSize;
    }
    return true;
}

bool ArchiveImage::InflateBlock(int32_t index, std::vector<uint8_t>* content, std::string* error) const
{
    if (index < 0 || static_cast<size_t>(index) >= blocks_.size()) {
        *error = "block " + std::to_string(index) + " does not exist";
        return false;
    }
    const ImageBlock& block = blocks_[static_cast<size_t>(index)];
    std::string why;
    if (!InflateExactly(bytes_.data() + block.offset + ArchiveFormat::kBlockHeaderSize,
                        block.compressedSize, block.contentSize, content, &why)) {
        *error = "block " + std::to_string(index) + ": " + why;
        return false;
    }
    return true;
}

bool ArchiveImage::Verify(std::vector<std::string>* problems)
{
    std::string error;
    if (directoryUsed_ != static_cast<int64_t>(directory_.size()))
        problems->push_back("directory holds " + std::to_string(directory_.size() - directoryUsed_) +
                            " bytes after its last record");
    if (!WalkBlocks(&error)) {
        problems->push_back(error);
        return false;
    }
    if (blocks_.empty()) {
        problems->push_back("archive has no block");
        return false;
    }

    std::set<std::u16string> names;
    std::vector<uint8_t> content;
    int32_t loaded = -1;
    int64_t expectedOffset = 0;
    int32_t expectedBlock = 0;
    for (size_t k = 0; k < entries_.size(); ++k) {
        const ImageEntry& entry = entries_[k];
        const std::string label = "entry " + std::to_string(k) + " \"" + Cp1252::Utf16ToUtf8(entry.name) + "\"";
        if (!names.insert(entry.name).second)
            problems->push_back(label + ": name occurs twice");
        if (entry.block < 0 || static_cast<size_t>(entry.block) >= blocks_.size()) {
            problems->push_back(label + ": block " + std::to_string(entry.block) + " does not exist");
            return false;
        }
        if (entry.block != loaded) {
            // The entry before closed its block: check that block was filled by the rule.
            if (loaded >= 0 && expectedOffset != static_cast<int64_t>(content.size()))
                problems->push_back("block " + std::to_string(loaded) + ": records cover " +
                                    std::to_string(expectedOffset) + " of its " +
                                    std::to_string(content.size()) + " content bytes");
            if (entry.block != expectedBlock)
                problems->push_back(label + ": in block " + std::to_string(entry.block) +
                                    ", the next block is " + std::to_string(expectedBlock));
            if (!InflateBlock(entry.block, &content, &error)) {
                problems->push_back(error);
                return false;
            }
            loaded = entry.block;
            expectedBlock = entry.block + 1;
            expectedOffset = 0;
        }
        ArchiveFormat::Record record{nullptr, 0, entry.block, entry.offset, entry.storedLength};
        if (!ArchiveFormat::RecordFitsBlock(record, static_cast<int32_t>(content.size()))) {
            problems->push_back(label + ": offset " + std::to_string(entry.offset) + " and stored length " +
                                std::to_string(entry.storedLength) + " do not fit block " +
                                std::to_string(entry.block) + " of " + std::to_string(content.size()) +
                                " bytes");
            continue;
        }
        const int32_t prefix = ArchiveFormat::ReadInt32(content.data() + entry.offset);
        if (static_cast<int64_t>(prefix) + ArchiveFormat::kStoredPrefixSize != entry.storedLength)
            problems->push_back(label + ": length prefix " + std::to_string(prefix) +
                                " disagrees with stored length " + std::to_string(entry.storedLength));
        if (entry.offset != expectedOffset)
            problems->push_back(label + ": at offset " + std::to_string(entry.offset) + ", expected " +
                                std::to_string(expectedOffset));
        // Before this entry the block was still open: it held at most the threshold.
        if (entry.offset > ArchiveFormat::kBlockThreshold)
            problems->push_back(label + ": added to block " + std::to_string(entry.block) +
                                " which already held more than " +
                                std::to_string(ArchiveFormat::kBlockThreshold) + " bytes");
        expectedOffset = static_cast<int64_t>(entry.offset) + entry.storedLength;
        const bool lastOfBlock = k + 1 == entries_.size() || entries_[k + 1].block != entry.block;
        if (lastOfBlock && static_cast<size_t>(entry.block) + 1 < blocks_.size() &&
            expectedOffset <= ArchiveFormat::kBlockThreshold)
            problems->push_back("block " + std::to_string(entry.block) + " was closed at " +
                                std::to_string(expectedOffset) + " bytes, not above the threshold");
    }
    if (loaded >= 0 && expectedOffset != static_cast<int64_t>(content.size()))
        problems->push_back("block " + std::to_string(loaded) + ": records cover " +
                            std::to_string(expectedOffset) + " of its " + std::to_string(content.size()) +
                            " content bytes");
    if (static_cast<size_t>(expectedBlock) != blocks_.size())
        problems->push_back("blocks " + std::to_string(expectedBlock) + " to " +
                            std::to_string(blocks_.size() - 1) + " hold no entry");
    return problems->empty();
}
