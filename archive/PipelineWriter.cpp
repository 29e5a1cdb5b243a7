#include "archive/PipelineWriter.h"

#include "archive/ArchiveFormat.h"
#include "archive/EntryWriter.h"
#include "archive/SerialExtraction.h"
#include "foundation/PlatformError.h"

namespace {

HRESULT FailPiece(InflatePipeline::Status status, const WString& name)
{
    PlatformError::SetError(nullptr, status == InflatePipeline::kOutOfMemory ? L"OutOfMemory" : L"Archive.InvalidData");
    PlatformError::AddContext(nullptr, L"archive.Get", name);
    return E_FAIL;
}

} // namespace

HRESULT PipelineWriter::Write(int index)
{
    const InflatePipeline::Entry& entry = entries_[index];
    const WString& name = names_.At(index);
    // Entries of one small block share its piece.
    const InflatePipeline::Piece* piece = held_;
    const bool inRun = piece != nullptr && piece->kind == InflatePipeline::kStaged && index < piece->to;
    if (!inRun && (piece == nullptr || piece->kind != InflatePipeline::kBlock || piece->block != entry.block)) {
        if (NextData(&piece) != S_OK)
            return E_FAIL;
    }
    if (piece->kind == InflatePipeline::kStaged)
        return WriteStaged(*piece, index);
    if (piece->status != InflatePipeline::kOk || piece->kind == InflatePipeline::kEnd)
        return FailPiece(piece->status == InflatePipeline::kOk ? InflatePipeline::kInvalidData : piece->status, name);
    const ArchiveFormat::Record record = {nullptr, 0, entry.block, entry.offset, entry.storedLength};
    if (piece->kind == InflatePipeline::kBlock && !ArchiveFormat::RecordFitsBlock(record, piece->contentSize))
        return FailPiece(InflatePipeline::kInvalidData, name);
    return piece->kind == InflatePipeline::kBlock ? WriteSmall(*piece, entry, name) : WriteStreamed(piece, entry, name);
}

HRESULT PipelineWriter::Finish()
{
    const InflatePipeline::Piece* piece = nullptr;
    if (NextData(&piece) != S_OK)
        return E_FAIL;
    return piece->kind == InflatePipeline::kEnd && piece->status == InflatePipeline::kOk
               ? S_OK
               : FailPiece(InflatePipeline::kInvalidData, names_.At(names_.Count() - 1));
}

// Takes the next piece that carries data, handling the checks of large blocks on the way.
HRESULT PipelineWriter::NextData(const InflatePipeline::Piece** next)
{
    if (held_ != nullptr) {
        pipeline_.Release();
        held_ = nullptr;
    }
    for (;;) {
        const InflatePipeline::Piece& piece = pipeline_.Take();
        held_ = &piece;
        if (piece.kind != InflatePipeline::kCheck) {
            *next = &piece;
            return S_OK;
        }
        // The block's check decides before the next file is touched.
        HRESULT result = S_OK;
        if (piece.status == InflatePipeline::kOk) {
            result = writer_.CommitKept();
        } else {
            writer_.DiscardKept();
            result = FailPiece(piece.status, names_.At(piece.entry));
        }
        pipeline_.Release();
        held_ = nullptr;
        if (result != S_OK)
            return result;
    }
}

// An entry of the stager's run: its file, checked, goes over the target in list order. A run
// the stager could not write is written here, serially, as without a helper.
HRESULT PipelineWriter::WriteStaged(const InflatePipeline::Piece& piece, int index)
{
    if (index == piece.entry && !pipeline_.AwaitStaged(piece, &staged_))
        staged_ = nullptr;
    const WString& name = names_.At(index);
    if (staged_ != nullptr)
        return writer_.Place(staged_->At(index - piece.entry), name);
    if (serial_.Extract(name) != S_OK)
        return E_FAIL;
    // The run's end: a block still open is checked as when the serial extraction leaves it,
    // naming the last file written from it.
    return index + 1 == piece.to ? serial_.FinishOpenBlock() : S_OK;
}

HRESULT PipelineWriter::WriteSmall(const InflatePipeline::Piece& piece, const InflatePipeline::Entry& entry,
                                   const WString& name)
{
    if (writer_.Open(name) != S_OK ||
        writer_.Write(piece.data + entry.offset + ArchiveFormat::kStoredPrefixSize,
                      entry.storedLength - ArchiveFormat::kStoredPrefixSize) != S_OK)
        return E_FAIL;
    return writer_.Commit();
}

// A large block's entry waits, written, for the block's check.
HRESULT PipelineWriter::WriteStreamed(const InflatePipeline::Piece* piece, const InflatePipeline::Entry& entry,
                                      const WString& name)
{
    if (writer_.Open(name) != S_OK)
        return E_FAIL;
    const long long end = static_cast<long long>(entry.offset) + entry.storedLength;
    for (;;) {
        if (piece->status != InflatePipeline::kOk) {
            writer_.Abandon();
            return FailPiece(piece->status, name);
        }
        if (piece->wanted && writer_.Write(piece->data, piece->to - piece->from) != S_OK)
            return E_FAIL;
        if (piece->wanted && piece->to == end)
            break;
        pipeline_.Release();
        piece = &pipeline_.Take();
        held_ = piece;
    }
    return writer_.Keep();
}
