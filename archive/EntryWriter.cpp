#include "archive/EntryWriter.h"

#include "archive/DirectoryPath.h"
#include "foundation/PathText.h"
#include "foundation/PlatformError.h"

EntryWriter::EntryWriter(const WString& installFolder) : installFolder_(installFolder)
{
}

EntryWriter::~EntryWriter()
{
    DiscardKept();
}

WString EntryWriter::TargetOf(const WString& name)
{
    const WString target = installFolder_ + L"\\" + name;
    int end = target.Length() - 1;
    while (end >= 0 && !PathText::IsSeparator(target[end]))
        --end;
    const WString folder = target.Mid(0, end);
    if (folder.Length() > 0 && folder != madeFolder_) {
        CreateDirectoryPath(folder);
        madeFolder_ = folder;
    }
    return target;
}

// The file's failure, then the step of the extraction it stopped.
HRESULT EntryWriter::Fail(const TargetFile& file, const WString& name)
{
    RecordTargetFailure(file);
    const TargetFile::Step step = file.Failed();
    const wchar_t* context = step == TargetFile::kWrite                                ? L"fileBuffer.WriteBuffer"
                             : step == TargetFile::kFlush || step == TargetFile::kClose ? L"fileBuffer.Close"
                                                                                         : L"fileBuffer.OpenWrite";
    PlatformError::AddContext(nullptr, context, name);
    return E_FAIL;
}

HRESULT EntryWriter::Put(TargetFile& file, const WString& name, bool flushes)
{
    // A flush starts the queue; once it runs, every move goes through it, in list order.
    if (queue_.Running() || (flushes && queue_.Start()))
        return queue_.Push(file, name) ? S_OK : Fail(queue_.Failure(), queue_.FailedName());
    return file.Commit() ? S_OK : Fail(file, name);
}

HRESULT EntryWriter::Open(const WString& name)
{
    // A file put in place earlier failed: nothing more is written.
    if (queue_.Running() && queue_.Failed())
        return Fail(queue_.Failure(), queue_.FailedName());
    name_ = name;
    // Files of one installation come in runs: an upgrade replaces most, a fresh install none.
    if (!file_.Open(TargetOf(name), WString(), replacedLast_))
        return Fail();
    replacedLast_ = file_.Replaces();
    return S_OK;
}

HRESULT EntryWriter::Write(const void* data, long long size)
{
    return file_.Write(data, size) ? S_OK : Fail();
}

HRESULT EntryWriter::Commit()
{
    // A new file written in place needs no flush: only a replacing one waits on the disk.
    if (!file_.Replaces())
        return file_.Commit() ? S_OK : Fail();
    return Put(file_, name_, true);
}

HRESULT EntryWriter::Keep()
{
    // Flushed when it is put in place: on the queue's thread when that runs.
    if (!file_.Finish(true))
        return Fail();
    WString written;
    file_.Keep(&written);
    kept_.Append(written);
    keptTargets_.Append(file_.Target());
    keptNames_.Append(name_);
    return S_OK;
}

HRESULT EntryWriter::CommitKept()
{
    HRESULT result = S_OK;
    int i = 0;
    for (; i < kept_.Count() && result == S_OK; ++i) {
        // A file that was new is in place already.
        if (kept_.At(i) == keptTargets_.At(i))
            continue;
        TargetFile file;
        file.Adopt(kept_.At(i), keptTargets_.At(i), false);
        result = Put(file, keptNames_.At(i), true);
    }
    for (; i < kept_.Count(); ++i)
        DeleteFileW(kept_.At(i).c_str());
    kept_.Clear();
    keptTargets_.Clear();
    keptNames_.Clear();
    return result;
}

void EntryWriter::DiscardKept()
{
    for (int i = 0; i < kept_.Count(); ++i)
        DeleteFileW(kept_.At(i).c_str());
    kept_.Clear();
    keptTargets_.Clear();
    keptNames_.Clear();
}

HRESULT EntryWriter::Place(const WString& staged, const WString& name)
{
    TargetFile file;
    file.Adopt(staged, TargetOf(name), true);
    return Put(file, name, false);
}

HRESULT EntryWriter::Settle()
{
    const bool done = queue_.Drain();
    queue_.Stop();
    return done ? S_OK : Fail(queue_.Failure(), queue_.FailedName());
}
