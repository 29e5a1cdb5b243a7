#include "archive/Extraction.h"

#include <memory>
#include <new>

#include "archive/Archive.h"
#include "archive/ArchiveFormat.h"
#include "archive/EntryWriter.h"
#include "archive/FileBuffer.h"
#include "archive/FileList.h"
#include "archive/InflatePipeline.h"
#include "archive/PipelineWriter.h"
#include "archive/ResourceBuffer.h"
#include "archive/SafeName.h"
#include "archive/SerialExtraction.h"
#include "archive/TemporaryFiles.h"
#include "foundation/PathText.h"
#include "foundation/PlatformError.h"

namespace {

// Everything before the last separator of a path.
WString FolderOf(const WString& path)
{
    int folderEnd = path.Length() - 1;
    while (folderEnd >= 0 && !PathText::IsSeparator(path[folderEnd]))
        --folderEnd;
    return path.Mid(0, folderEnd);
}

// Processors this process may run on: with one, a helper would only take turns with the worker.
int ProcessorCount()
{
    DWORD_PTR mask = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &mask, &system) || mask == 0) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return static_cast<int>(info.dwNumberOfProcessors);
    }
    int count = 0;
    for (; mask != 0; mask &= mask - 1)
        ++count;
    return count;
}

// Every entry's place, in list order, up to the first name the archive does not have (which
// fails again, and is recorded, when its turn comes).
int PlanEntries(Archive& archive, const WStringArray& names, InflatePipeline::Entry* plan)
{
    int planned = 0;
    Archive::Entry entry;
    while (planned < names.Count() && archive.Find(names.At(planned), &entry) == S_OK) {
        plan[planned].block = entry.block;
        plan[planned].offset = entry.offset;
        plan[planned].storedLength = entry.storedLength;
        ++planned;
    }
    return planned;
}

HRESULT ExtractFiles(Archive& archive, const ResourceBuffer& resource, const WString& installFolder,
                     const WStringArray& names)
{
    ArchiveFormat::Trailer trailer;
    const std::unique_ptr<InflatePipeline::Entry[]> plan(
        new (std::nothrow) InflatePipeline::Entry[static_cast<size_t>(names.Count()) + 1]);
    // Private copies of the targets for the stager's thread; declared first, they outlive it.
    WStringArray targets;
    EntryWriter writer(installFolder);
    SerialExtraction serial(archive, writer);
    InflatePipeline pipeline;
    int planned = 0;
    bool started = false;
    if (plan && ProcessorCount() > 1 && ArchiveFormat::DecodeTrailer(resource.Data(), resource.Remaining(), &trailer)) {
        planned = PlanEntries(archive, names, plan.get());
        for (int i = 0; i < planned; ++i)
            targets.Append(WString(installFolder.c_str()) + L"\\" + names.At(i).c_str());
        started = pipeline.Start(resource.Data(), trailer.streamOffset - 8, plan.get(), planned, &targets,
                                 installFolder.Length());
    }
    HRESULT result = S_OK;
    if (started) {
        PipelineWriter pipelineWriter(pipeline, plan.get(), names, writer, serial);
        for (int i = 0; i < planned && result == S_OK; ++i)
            result = pipelineWriter.Write(i);
        if (result == S_OK && planned < names.Count()) {
            Archive::Entry entry;
            archive.Find(names.At(planned), &entry);
            PlatformError::AddContext(nullptr, L"archive.Get", names.At(planned));
            result = E_FAIL;
        }
        if (result == S_OK)
            result = pipelineWriter.Finish();
    } else {
        // No helper thread: the same work, inflating and writing in turn.
        for (int i = 0; i < names.Count() && result == S_OK; ++i)
            result = serial.Extract(names.At(i));
        // A large block whose last entry is not in the list is still open: its check decides too.
        if (result == S_OK)
            result = serial.FinishOpenBlock();
    }
    // Joined before anything else happens, on every path; what was not committed is removed.
    // The queue first: it may still be moving the stager's files, which the pipeline's end removes.
    const HRESULT settled = writer.Settle();
    pipeline.Stop();
    writer.DiscardKept();
    return settled != S_OK ? settled : result;
}

bool Contains(const WStringArray& array, const WString& value)
{
    for (int i = 0; i < array.Count(); ++i) {
        if (array.At(i) == value)
            return true;
    }
    return false;
}

} // namespace

bool IsSafeEntryName(const WString& name)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t is a UTF-16 unit on Windows");
    return SafeName::Check(reinterpret_cast<const char16_t*>(name.c_str()), static_cast<size_t>(name.Length()),
                           nullptr, nullptr) == SafeName::kSafe;
}

HRESULT ExtractResourceArchive(const WString& installFolder, const WString& listName)
{
    ResourceBuffer listResource;
    if (listResource.Open(listName, L"SETUP") != S_OK)
        return E_FAIL;
    WStringArray lines;
    if (FileList::Read(listName, listResource.Data(), listResource.Remaining(), &lines) != S_OK)
        return E_FAIL;

    ResourceBuffer archiveResource;
    Archive archive;
    if (OpenEmbeddedArchive(archiveResource, archive) != S_OK)
        return E_FAIL;

    // Every name is checked before the first file is written: a name that would leave the
    // install folder stops the extraction with nothing written for it.
    WStringArray names;
    for (int i = 0; i < lines.Count(); ++i) {
        const WString name = FileList::EntryName(lines.At(i));
        if (!IsSafeEntryName(name)) {
            WStringArray parameters;
            parameters.Append(name);
            PlatformError::SetError(nullptr, L"Archive.InvalidName", parameters);
            PlatformError::AddContext(nullptr, L"archive.CheckName", name);
            return E_FAIL;
        }
        names.Append(name);
    }

    // What a killed setup left goes before this run makes temporary files of its own: in the
    // folders about to be written and those above them up to the install folder, where the
    // stager puts the file of a target whose folder is not made yet.
    WStringArray swept;
    for (int i = 0; i < names.Count(); ++i) {
        for (WString folder = FolderOf(installFolder + L"\\" + names.At(i));
             folder.Length() >= installFolder.Length() && !Contains(swept, folder); folder = FolderOf(folder)) {
            TemporaryFiles::RemoveLeftovers(folder);
            swept.Append(folder);   // with every folder above it
        }
    }

    if (ExtractFiles(archive, archiveResource, installFolder, names) != S_OK)
        return E_FAIL;

    // Through the same writer: an earlier list stays whole until the new one is complete.
    FileBuffer file;
    const WString uninstallPath = installFolder + L"\\Uninstall";
    if (file.OpenWrite(uninstallPath) != S_OK || file.WriteStringList(names) != S_OK || file.Close() != S_OK) {
        PlatformError::AddContext(nullptr, L"InstallServices.CreateUninstall", uninstallPath);
        return E_FAIL;
    }
    return S_OK;
}
