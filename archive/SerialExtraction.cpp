#include "archive/SerialExtraction.h"

#include "archive/ByteStream.h"
#include "foundation/PlatformError.h"

namespace {

// The archive writes an entry's bytes here, straight into its file.
class EntryStream : public ByteStream {
public:
    explicit EntryStream(EntryWriter& writer) : writer_(writer) {}
    HRESULT WriteBuffer(const void* data, int size) override { return writer_.Write(data, size); }

private:
    EntryWriter& writer_;
};

HRESULT FailEntry(const WString& name)
{
    PlatformError::AddContext(nullptr, L"archive.Get", name);
    return E_FAIL;
}

} // namespace

HRESULT SerialExtraction::FinishOpenBlock()
{
    if (streamBlock_ < 0)
        return S_OK;
    streamBlock_ = -1;
    if (archive_.FinishStream() == S_OK)
        return writer_.CommitKept();
    writer_.DiscardKept();
    return FailEntry(streamedName_);
}

HRESULT SerialExtraction::Extract(const WString& name)
{
    Archive::Entry entry;
    if (archive_.Find(name, &entry) != S_OK)
        return FailEntry(name);
    // Leaving a large block: its check decides before the next file is touched.
    if (streamBlock_ >= 0 && streamBlock_ != entry.block && FinishOpenBlock() != S_OK)
        return E_FAIL;
    // A small block is inflated and checked before its target is touched.
    Archive::Preparation preparation;
    if (archive_.PrepareEntry(entry, &preparation) != S_OK)
        return FailEntry(name);
    if (writer_.Open(name) != S_OK)
        return E_FAIL;
    // Written straight from the block cache, or from the inflate window for a large block:
    // no copy of the content, and no large file held whole in memory.
    EntryStream stream(writer_);
    bool outFailed = false;
    if (archive_.WriteEntry(entry, &stream, &outFailed) != S_OK) {
        // The file's failure is recorded already; a block that did not inflate leaves no
        // part-written file behind as if extracted.
        writer_.Abandon();
        return outFailed ? E_FAIL : FailEntry(name);
    }
    if (!preparation.streamed)
        return writer_.Commit();
    if (writer_.Keep() != S_OK)
        return E_FAIL;
    if (!preparation.endsBlock) {
        streamBlock_ = entry.block;
        streamedName_ = name;
        return S_OK;
    }
    // The block's last entry: its stream has ended and passed its check.
    return writer_.CommitKept();
}
