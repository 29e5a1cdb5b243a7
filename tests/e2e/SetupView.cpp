#include "tests/e2e/SetupView.h"

#include <shlobj.h>

#include <cstring>
#include <vector>

#include "tests/e2e/FileProbe.h"

namespace {

bool g_32bit = true;

// "C:\Program Files" seen from either flavour: a 32-bit program's CSIDL_PROGRAM_FILES is the
// (x86) one, and the variable is there for it.
std::wstring NativeProgramFiles()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"ProgramW6432", path, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        return path;
    return FileProbe::SpecialFolder(CSIDL_PROGRAM_FILES);
}

} // namespace

bool SetupView::ChooseFor(const std::wstring& setup)
{
    std::vector<uint8_t> image;
    if (!FileProbe::Read(setup, &image) || image.size() < 0x40)
        return false;
    uint32_t header = 0;
    std::memcpy(&header, image.data() + 0x3C, 4);
    if (header > image.size() - 6 || std::memcmp(image.data() + header, "PE\0\0", 4) != 0)
        return false;
    uint16_t machine = 0;
    std::memcpy(&machine, image.data() + header + 4, 2);
    if (machine != IMAGE_FILE_MACHINE_I386 && machine != IMAGE_FILE_MACHINE_AMD64)
        return false;
    g_32bit = machine == IMAGE_FILE_MACHINE_I386;
    return true;
}

bool SetupView::Is32Bit()
{
    return g_32bit;
}

const char* SetupView::Name()
{
    return g_32bit ? "32-bit" : "64-bit";
}

REGSAM SetupView::Registry()
{
    return g_32bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

REGSAM SetupView::OtherRegistry()
{
    return g_32bit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

std::wstring SetupView::ProgramFiles()
{
    return g_32bit ? FileProbe::SpecialFolder(CSIDL_PROGRAM_FILESX86) : NativeProgramFiles();
}

std::wstring SetupView::OtherProgramFiles()
{
    return g_32bit ? NativeProgramFiles() : FileProbe::SpecialFolder(CSIDL_PROGRAM_FILESX86);
}
