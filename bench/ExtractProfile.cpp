// Where the extraction's time goes: the product's ExtractResourceArchive whole, then its serial
// path (SerialExtraction, the archive's own code, with no helper thread), and the parts of that
// path the archive lets one time on their own: the lookups, and the inflating with nothing
// written. The writing (folders, opens, WriteFile, closes) is the rest of the serial path.
#include "bench/ExtractModes.h"

#include "foundation/Platform.h"

#include <memory>
#include <new>

#include "archive/Archive.h"
#include "archive/ByteStream.h"
#include "archive/EntryWriter.h"
#include "archive/FileBuffer.h"
#include "archive/ResourceBuffer.h"
#include "archive/SerialExtraction.h"
#include "bench/BenchOutput.h"
#include "bench/Clock.h"
#include "bench/SerialLimit.h"

namespace {

// Takes what WriteEntry hands to the file and drops it: its inflating alone.
class DiscardStream : public ByteStream {
public:
    HRESULT WriteBuffer(const void*, int) override
    {
        ++calls_;
        return S_OK;
    }
    int Calls() const { return calls_; }

private:
    int calls_ = 0;
};

// Every entry inflated as the serial extraction does (PrepareEntry, WriteEntry), in list order.
bool InflateEntries(Archive& archive, const WStringArray& names, DiscardStream* out, double* find, double* inflate)
{
    *find = *inflate = 0;
    for (int i = 0; i < names.Count(); ++i) {
        Archive::Entry entry;
        const double start = Now();
        if (archive.Find(names.At(i), &entry) != S_OK)
            return Fail("Find failed");
        const double found = Now();
        Archive::Preparation preparation;
        bool outFailed = false;
        if (archive.PrepareEntry(entry, &preparation) != S_OK || archive.WriteEntry(entry, out, &outFailed) != S_OK)
            return Fail("an entry does not inflate");
        *find += found - start;
        *inflate += Now() - found;
    }
    const double start = Now();
    if (archive.FinishStream() != S_OK)
        return Fail("a block fails its check");
    *inflate += Now() - start;
    return true;
}

// The serial path of the product's extraction, every file written.
bool ExtractSerially(Archive& archive, const WStringArray& names, const WString& folder)
{
    EntryWriter writer(folder);
    SerialExtraction serial(archive, writer);
    for (int i = 0; i < names.Count(); ++i) {
        if (serial.Extract(names.At(i)) != S_OK)
            return Fail("the serial extraction failed");
    }
    return serial.FinishOpenBlock() == S_OK || Fail("a block fails its check");
}

} // namespace

int Profile(const WString& folder)
{
    Payload payload;
    if (!LoadPayload(&payload))
        return 1;
    PrintPayload(payload);
    TouchArchive(payload);
    CreateDirectoryW(folder.c_str(), nullptr);
    double total = 0;
    if (!TimedExtract(folder + L"\\whole", &total))
        return 1;

    double start = Now();
    ResourceBuffer resource;
    Archive archive;
    if (OpenEmbeddedArchive(resource, archive) != S_OK)
        return Fail("archive does not open"), 1;
    const double open = Now() - start;
    DiscardStream discard;
    double find = 0, inflate = 0;
    if (!InflateEntries(archive, payload.names, &discard, &find, &inflate))
        return 1;

    Archive serialArchive;
    if (serialArchive.Open(resource.Data(), resource.Remaining()) != S_OK)
        return Fail("archive does not open"), 1;
    const WString serialFolder = folder + L"\\serial";
    start = Now();
    if (!ExtractSerially(serialArchive, payload.names, serialFolder))
        return 1;
    const double serial = Now() - start;
    start = Now();
    FileBuffer file;
    if (file.OpenWrite(serialFolder + L"\\Uninstall") != S_OK || file.WriteStringList(payload.names) != S_OK ||
        file.Close() != S_OK)
        return Fail("uninstall data not written"), 1;
    const double uninstall = Now() - start;

    const std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[static_cast<size_t>(payload.largestBlock)]);
    double blocks = 0;
    if (!buffer || !InflateAll(payload, buffer.get(), &blocks))
        return 1;
    PrintValue("total_s", total);
    PrintValue("open_s", open);
    PrintValue("serial_s", serial);
    PrintValue("find_s", find);
    PrintValue("entry_inflate_s", inflate);
    PrintValue("entry_write_s", serial - find - inflate);
    PrintCount("write_calls", static_cast<unsigned long long>(discard.Calls()));
    PrintValue("uninstall_s", uninstall);
    PrintValue("inflate_s", blocks);
    return 0;
}
