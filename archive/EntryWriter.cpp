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
HRESULT EntryWriter::Fail()
{
    RecordTargetFailure(file_);
    const TargetFile::Step step = file_.Failed();
    const wchar_t* context = step == TargetFile::kWrite                                ? L"fileBuffer.WriteBuffer"
                             : step == TargetFile::kFlush || step == TargetFile::kClose ? L"fileBuffer.Close"
                                                                                         : L"fileBuffer.OpenWrite";
    PlatformError::AddContext(nullptr, context, name_);
    return E_FAIL;
}

HRESULT EntryWriter::Open(const WString& name)
{
    name_ = name;
    return file_.Open(TargetOf(name)) ? S_OK : Fail();
}

HRESULT EntryWriter::Write(const void* data, long long size)
{
    return file_.Write(data, size) ? S_OK : Fail();
}

HRESULT EntryWriter::Commit()
{
    return file_.Commit() ? S_OK : Fail();
}

HRESULT EntryWriter::Keep()
{
    if (!file_.Finish())
        return Fail();
    WString written;
    file_.Keep(&written);
    kept_.Append(written);
    keptTargets_.Append(file_.Target());
    keptNames_.Append(name_);
    return S_OK;
}

HRESULT EntryWriter::FailMove(DWORD error, const WString& target, const WString& name)
{
    PlatformError::SetSystemError(error);
    PlatformError::AddContext(nullptr, L"CreateFile.Write", target);
    PlatformError::AddContext(nullptr, L"fileBuffer.OpenWrite", name);
    return E_FAIL;
}

HRESULT EntryWriter::CommitKept()
{
    HRESULT result = S_OK;
    int i = 0;
    for (; i < kept_.Count() && result == S_OK; ++i) {
        DWORD error = ERROR_SUCCESS;
        if (kept_.At(i) != keptTargets_.At(i) && !TargetFile::Replace(kept_.At(i), keptTargets_.At(i), &error)) {
            DeleteFileW(kept_.At(i).c_str());
            result = FailMove(error, keptTargets_.At(i), keptNames_.At(i));
        }
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
    const WString target = TargetOf(name);
    DWORD error = ERROR_SUCCESS;
    return TargetFile::Replace(staged, target, &error) ? S_OK : FailMove(error, target, name);
}
