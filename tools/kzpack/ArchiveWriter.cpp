#include "ArchiveWriter.h"

#include <cstring>
#include <limits>

#include "archive/ArchiveFormat.h"

namespace {
// The setup reads the archive with 32-bit signed sizes.
const int64_t kMaxSize = std::numeric_limits<int32_t>::max();
}

bool ArchiveWriter::Add(const std::u16string& name, const uint8_t* data, size_t size, std::string* error)
{
    const int64_t stored = static_cast<int64_t>(size) + ArchiveFormat::kStoredPrefixSize;
    if (stored > kMaxSize || static_cast<int64_t>(block_.size()) + stored > kMaxSize) {
        *error = "file is too large for the archive";
        return false;
    }
    if (entryCount_ == std::numeric_limits<int32_t>::max() ||
        static_cast<int64_t>(directory_.size()) + 2 * static_cast<int64_t>(name.size()) +
                ArchiveFormat::kRecordFixedSize > kMaxSize) {
        *error = "too many entries for the archive";
        return false;
    }
    ArchiveFormat::AppendRecord(directory_, name, blockNumber_, static_cast<int32_t>(block_.size()),
                                static_cast<int32_t>(stored));
    ++entryCount_;
    ArchiveFormat::AppendInt32(block_, static_cast<int32_t>(size));
    if (size > 0)
        block_.insert(block_.end(), data, data + size);
    if (static_cast<int64_t>(block_.size()) > ArchiveFormat::kBlockThreshold)
        return WriteBlock(error);
    return true;
}

bool ArchiveWriter::WriteBlock(std::string* error)
{
    if (!compressor_.Compress(block_, &stream_, error))
        return false;
    if (static_cast<int64_t>(out_.size()) + ArchiveFormat::kBlockHeaderSize +
            static_cast<int64_t>(stream_.size()) > kMaxSize) {
        *error = "archive would exceed 2 GiB";
        return false;
    }
    ArchiveFormat::AppendInt32(out_, static_cast<int32_t>(stream_.size()));
    ArchiveFormat::AppendInt32(out_, static_cast<int32_t>(block_.size()));
    out_.insert(out_.end(), stream_.begin(), stream_.end());
    block_.clear();
    ++blockNumber_;
    return true;
}

bool ArchiveWriter::Finish(std::vector<uint8_t>* archive, std::string* error)
{
    if (!block_.empty() && !WriteBlock(error))
        return false;
    if (!compressor_.Compress(directory_, &stream_, error))
        return false;
    if (static_cast<int64_t>(out_.size()) + ArchiveFormat::kTrailerSize +
            static_cast<int64_t>(stream_.size()) > kMaxSize) {
        *error = "archive would exceed 2 GiB";
        return false;
    }
    ArchiveFormat::AppendInt32(out_, static_cast<int32_t>(directory_.size()));
    ArchiveFormat::AppendInt32(out_, entryCount_);
    out_.insert(out_.end(), stream_.begin(), stream_.end());
    ArchiveFormat::AppendInt32(out_, static_cast<int32_t>(stream_.size()));
    archive->swap(out_);
    out_.clear();
    directory_.clear();
    entryCount_ = 0;
    blockNumber_ = 0;
    return true;
}
