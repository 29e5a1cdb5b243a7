// Reads the version resource of a built setup.exe as Windows does for the file's properties
// and checks it against the version the payload was packed with.
//
//   e2e_version_check FILE NUMERIC TEXT
//
// NUMERIC is the expected file and product version "a.b.c.d"; TEXT the expected FileVersion
// and ProductVersion strings.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int passed = 0;
int failed = 0;

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

void Check(bool ok, const std::string& what)
{
    std::printf("%s  %s\n", ok ? "ok  " : "FAIL", what.c_str());
    (ok ? passed : failed) += 1;
}

std::wstring Dotted(DWORD most, DWORD least)
{
    return std::to_wstring(HIWORD(most)) + L"." + std::to_wstring(LOWORD(most)) + L"." +
           std::to_wstring(HIWORD(least)) + L"." + std::to_wstring(LOWORD(least));
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: e2e_version_check FILE NUMERIC TEXT\n");
        return 2;
    }
    const std::wstring file = argv[1], numeric = argv[2], text = argv[3];
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    std::vector<BYTE> data(size);
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, data.data())) {
        Check(false, Utf8(file) + " has a version resource");
        std::printf("%d passed, %d failed\n", passed, failed);
        return 1;
    }

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    const bool hasFixed = VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) &&
                          length >= sizeof(VS_FIXEDFILEINFO) && fixed->dwSignature == 0xFEEF04BD;
    Check(hasFixed, "the resource holds the fixed version block");
    if (hasFixed) {
        const std::wstring fileVersion = Dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
        const std::wstring productVersion = Dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
        Check(fileVersion == numeric, "numeric file version " + Utf8(fileVersion) + ", expected " + Utf8(numeric));
        Check(productVersion == numeric,
              "numeric product version " + Utf8(productVersion) + ", expected " + Utf8(numeric));
        Check(fixed->dwFileType == VFT_APP, "file type is an application");
    }

    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    const bool hasTranslation =
        VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                       &length) &&
        length >= sizeof(Translation);
    Check(hasTranslation, "the resource names the language of its strings");
    if (hasTranslation) {
        wchar_t block[64];
        swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation->language, translation->codePage);
        const struct {
            const wchar_t* name;
            std::wstring expected;
        } strings[] = {{L"FileVersion", text},
                       {L"ProductVersion", text},
                       {L"ProductName", L"Kaze Mar Orlix Player"},
                       {L"CompanyName", L"Kaze Mar"},
                       {L"FileDescription", L"Kaze Mar Orlix Player Setup"},
                       {L"LegalCopyright", L"Copyright (c) Kaze Mar"},
                       {L"OriginalFilename", L"setup.exe"}};
        for (const auto& entry : strings) {
            wchar_t* value = nullptr;
            std::wstring found = L"(none)";
            if (VerQueryValueW(data.data(), (std::wstring(block) + entry.name).c_str(),
                               reinterpret_cast<void**>(&value), &length) &&
                value != nullptr)
                found.assign(value, length > 0 && value[length - 1] == L'\0' ? length - 1 : length);
            Check(found == entry.expected,
                  Utf8(entry.name) + " is \"" + Utf8(found) + "\", expected \"" + Utf8(entry.expected) + "\"");
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
