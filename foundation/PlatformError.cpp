#include "foundation/PlatformError.h"
#include "foundation/ScopedHandle.h"

#include "foundation/MessageCatalog.h"

namespace {

struct ErrorRecord {
    WString errorText;
    WStringArray context;
};

// Built on first use so that a failure recorded during static initialisation finds it ready.
ErrorRecord& Record()
{
    static ErrorRecord record;
    return record;
}

WString SystemText(DWORD code)
{
    ScopedLocalMemory<LPWSTR> buffer;   // FormatMessage's own buffer
    DWORD units = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                     FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                 nullptr, code, 0x400, reinterpret_cast<LPWSTR>(buffer.put()), 0, nullptr);
    WString text;
    if (units > 0 && buffer)
        text = WString(buffer.get(), static_cast<int>(units));
    return text;
}

} // namespace

void PlatformError::SetSystemError()
{
    SetSystemError(GetLastError());
}

void PlatformError::SetSystemError(DWORD code)
{
    WString text = SystemText(code);
    ErrorRecord& record = Record();
    record.errorText = text;
    record.context.Clear();
}

void PlatformError::SetError(const char* catalog, const WString& key, const WStringArray& parameters)
{
    // Look up first: a failing lookup records its own error, which this one then replaces.
    WString text = MessageCatalog::Lookup(catalog, key, parameters);
    ErrorRecord& record = Record();
    record.errorText = text;
    record.context.Clear();
}

void PlatformError::SetError(const char* catalog, const WString& key)
{
    SetError(catalog, key, EmptyWStringArray());
}

void PlatformError::AddContext(const char* catalog, const WString& key, const WStringArray& parameters)
{
    WString line = MessageCatalog::Lookup(catalog, key, parameters);
    Record().context.Append(line);
}

void PlatformError::AddContext(const char* catalog, const WString& key)
{
    AddContext(catalog, key, EmptyWStringArray());
}

void PlatformError::AddContext(const char* catalog, const WString& key, const WString& parameter)
{
    WStringArray parameters;
    parameters.Append(parameter);
    AddContext(catalog, key, parameters);
}

WString PlatformError::GetMessage()
{
    const ErrorRecord& record = Record();
    int count = record.context.Count();
    WString text;
    if (count >= 1) {
        text.Append(record.context.At(0));
        text.Append(L"\n");
    }
    text.Append(record.errorText);
    if (count >= 2) {
        text.Append(L"\n");
        for (int i = 1; i < count; ++i) {
            text.Append(L"\n");
            text.Append(record.context.At(i));
        }
    }
    return text;
}

bool PlatformError::ShowMessageBox(HWND owner, bool allowRetry)
{
    WString text = GetMessage();
    UINT style = MB_ICONHAND | (allowRetry ? MB_RETRYCANCEL : MB_OK);
    int answer = MessageBoxW(owner, text.c_str(), L"Error", style);
    // A box that could not be shown (0, or -1 from the dialog under it) is no Retry: an
    // unattended failure would retry for ever.
    return answer == IDRETRY || answer == IDOK;
}

WString PlatformError::GetErrorText()
{
    return Record().errorText;
}

WStringArray PlatformError::GetContext()
{
    return Record().context;
}

void PlatformError::Clear()
{
    ErrorRecord& record = Record();
    record.errorText.Clear();
    record.context.Clear();
}
