#include "tests/e2e/InstallCheck.h"

#include <cstring>
#include <vector>

#include "foundation/Platform.h"
#include <objbase.h>
#include <shlobj.h>

#include "tests/e2e/DriverLog.h"
#include "tests/e2e/FileProbe.h"
#include "tests/e2e/ProductFacts.h"
#include "tests/e2e/RegistryProbe.h"
#include "tests/e2e/SetupView.h"

namespace {

std::string Utf8(const std::wstring& text)
{
    return DriverLog::Utf8(text);
}

} // namespace

namespace {

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

const char* ViewName(REGSAM view)
{
    return view == KEY_WOW64_32KEY ? "32-bit view" : "64-bit view";
}

// One registry text in the view named, checked against the expected one (exact, or without
// case for paths).
bool CheckString(REGSAM view, HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& expected,
                 bool ignoreCase = false)
{
    std::wstring text;
    DWORD type = 0;
    bool read = RegistryProbe::ReadString(view, root, path, name, &text, &type);
    bool ok = read && type == REG_SZ && (ignoreCase ? SameText(text, expected) : text == expected);
    const std::string where = std::string(ViewName(view)) + " " + Utf8(path) +
                              (name != nullptr ? "\\" + Utf8(name) : std::string(" (default)"));
    if (ok)
        return DriverLog::Check(true, "%s = \"%s\"", where.c_str(), Utf8(text).c_str());
    return DriverLog::Check(false, "%s = \"%s\" (type %lu%s), expected \"%s\"", where.c_str(), Utf8(text).c_str(),
                            static_cast<unsigned long>(type), read ? "" : ", unreadable", Utf8(expected).c_str());
}

// A key of the setup's own: there in its view, absent from the other.
bool CheckKey(HKEY root, const std::wstring& path)
{
    return DriverLog::Check(RegistryProbe::KeyExists(SetupView::Registry(), root, path) &&
                                !RegistryProbe::KeyExists(SetupView::OtherRegistry(), root, path),
                            "key %s exists in the %s only", Utf8(path).c_str(), ViewName(SetupView::Registry()));
}

// A key Windows keeps once for both views: the same text seen from either.
bool CheckShared(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& expected)
{
    return CheckString(KEY_WOW64_32KEY, root, path, name, expected) &
           CheckString(KEY_WOW64_64KEY, root, path, name, expected);
}

bool CheckDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD expected)
{
    DWORD value = 0xFFFFFFFF;
    bool read = RegistryProbe::ReadDword(SetupView::Registry(), root, path, name, &value);
    return DriverLog::Check(read && value == expected, "%s %s\\%s = %lu (DWORD), expected %lu",
                            ViewName(SetupView::Registry()), Utf8(path).c_str(),
                            Utf8(name).c_str(), read ? static_cast<unsigned long>(value) : 0xFFFFFFFFul,
                            static_cast<unsigned long>(expected));
}

struct LinkFacts {
    bool loaded = false;
    std::wstring target;
    std::wstring description;
    std::wstring icon;
};

LinkFacts ReadLink(const std::wstring& path)
{
    LinkFacts facts;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return facts;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
            wchar_t buffer[MAX_PATH * 2];
            buffer[0] = 0;
            if (SUCCEEDED(link->GetPath(buffer, MAX_PATH * 2, nullptr, SLGP_RAWPATH)))
                facts.target = buffer;
            buffer[0] = 0;
            if (SUCCEEDED(link->GetDescription(buffer, MAX_PATH * 2)))
                facts.description = buffer;
            buffer[0] = 0;
            int index = 0;
            if (SUCCEEDED(link->GetIconLocation(buffer, MAX_PATH * 2, &index)))
                facts.icon = buffer;
            facts.loaded = true;
        }
        file->Release();
    }
    link->Release();
    return facts;
}

std::vector<std::wstring> Lines(const std::vector<uint8_t>& content)
{
    std::vector<std::wstring> lines;
    std::string current;
    for (uint8_t byte : content) {
        if (byte == '\n') {
            if (!current.empty() && current.back() == '\r')
                current.pop_back();
            lines.push_back(FileProbe::FromUtf8(current));
            current.clear();
        } else {
            current.push_back(static_cast<char>(byte));
        }
    }
    if (!current.empty())
        lines.push_back(FileProbe::FromUtf8(current));
    return lines;
}

} // namespace

InstallCheck::InstallCheck(const SetupFileList& files, const std::wstring& payloadRoot)
    : files_(files), payloadRoot_(payloadRoot)
{
}

std::wstring InstallCheck::DefaultTarget()
{
    return SetupView::ProgramFiles() + L"\\" + ProductFacts::kDisplayName;
}

std::wstring InstallCheck::StartMenuFolder()
{
    return FileProbe::SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\" + ProductFacts::kDisplayName;
}

std::wstring InstallCheck::PackagedVersion(const std::wstring& installDirectory) const
{
    std::vector<uint8_t> content;
    bool read = false;
    if (!payloadRoot_.empty()) {
        for (const SetupFileList::Entry& entry : files_.Entries()) {
            if (SameText(entry.target, ProductFacts::kVersionFile))
                read = FileProbe::Read(payloadRoot_ + L"\\" + entry.source, &content);
        }
    }
    if (!read)
        FileProbe::Read(installDirectory + L"\\" + ProductFacts::kVersionFile, &content);
    std::string text;
    for (uint8_t byte : content) {
        if (byte == 0)
            break;
        if (byte != '\r' && byte != '\n')
            text.push_back(static_cast<char>(byte));
    }
    return FileProbe::FromUtf8(text);
}

bool InstallCheck::VerifyInstalled(const std::wstring& target) const
{
    const std::wstring installDirectory = target + L"\\intel_a";
    DriverLog::Info("checking the installation in %s", Utf8(installDirectory).c_str());
    // Files in the setup's own Program Files; nothing of the product in the other one.
    const std::wstring other = SetupView::OtherProgramFiles() + L"\\" + ProductFacts::kDisplayName;
    bool ok = DriverLog::Check(SameText(target.substr(0, SetupView::ProgramFiles().size() + 1),
                                        SetupView::ProgramFiles() + L"\\") &&
                                   !SameText(SetupView::ProgramFiles(), SetupView::OtherProgramFiles()) &&
                                   !FileProbe::IsFolder(other),
                               "installed below %s, nothing in %s", Utf8(SetupView::ProgramFiles()).c_str(),
                               Utf8(other).c_str());
    ok = VerifyFiles(installDirectory) && ok;
    ok = VerifyUninstallData(installDirectory) && ok;
    ok = VerifyUninstallEntry(installDirectory) && ok;
    ok = VerifyRegistration(installDirectory) && ok;
    ok = VerifyShortcuts(installDirectory) && ok;
    ok = VerifyLicenseAndEnvironment(installDirectory) && ok;
    return ok;
}

bool InstallCheck::VerifyFiles(const std::wstring& installDirectory) const
{
    int missing = 0, different = 0, compared = 0;
    for (const SetupFileList::Entry& entry : files_.Entries()) {
        const std::wstring path = installDirectory + L"\\" + entry.target;
        std::vector<uint8_t> installed;
        if (!FileProbe::IsFile(path) || !FileProbe::Read(path, &installed)) {
            DriverLog::Fail("installed file %s is missing", Utf8(path).c_str());
            ++missing;
            continue;
        }
        if (payloadRoot_.empty())
            continue;
        std::vector<uint8_t> source;
        if (!FileProbe::Read(payloadRoot_ + L"\\" + entry.source, &source)) {
            DriverLog::Info("payload source %s not readable, not compared", Utf8(entry.source).c_str());
            continue;
        }
        ++compared;
        if (installed != source) {
            DriverLog::Fail("%s (%zu bytes) differs from its source %s (%zu bytes)", Utf8(path).c_str(),
                            installed.size(), Utf8(entry.source).c_str(), source.size());
            ++different;
        }
    }
    return DriverLog::Check(missing == 0 && different == 0,
                            "%zu files of the FILES list installed below intel_a (%d compared with the payload byte "
                            "for byte, %d missing, %d different)",
                            files_.Entries().size(), compared, missing, different);
}

bool InstallCheck::VerifyUninstallData(const std::wstring& installDirectory) const
{
    std::vector<uint8_t> data;
    if (!DriverLog::Check(FileProbe::Read(installDirectory + L"\\Uninstall", &data), "uninstall data file exists"))
        return false;
    // Count, then (length in code units, UTF-16 text) per name; nothing after the last.
    std::vector<std::wstring> names;
    size_t at = 0;
    bool wellFormed = data.size() >= 4;
    uint32_t count = 0;
    if (wellFormed) {
        std::memcpy(&count, data.data(), 4);
        at = 4;
    }
    for (uint32_t i = 0; wellFormed && i < count; ++i) {
        uint32_t length = 0;
        if (data.size() - at < 4) {
            wellFormed = false;
            break;
        }
        std::memcpy(&length, data.data() + at, 4);
        at += 4;
        if ((data.size() - at) / 2 < length) {
            wellFormed = false;
            break;
        }
        std::wstring name(length, L'\0');
        if (length > 0)
            std::memcpy(&name[0], data.data() + at, length * 2);
        at += length * 2;
        names.push_back(name);
    }
    wellFormed = wellFormed && at == data.size();
    bool same = wellFormed && names.size() == files_.Entries().size();
    for (size_t i = 0; same && i < names.size(); ++i)
        same = names[i] == files_.Entries()[i].target;
    return DriverLog::Check(same, "uninstall data file (%zu bytes, well formed: %s) lists the %zu names of the FILES list "
                            "in order (it lists %zu)",
                            data.size(), wellFormed ? "yes" : "no", files_.Entries().size(), names.size());
}

bool InstallCheck::VerifyUninstallEntry(const std::wstring& installDirectory) const
{
    const std::wstring key = ProductFacts::kUninstallKey;
    const std::wstring uninstaller = installDirectory + ProductFacts::kUninstaller;
    const REGSAM view = SetupView::Registry();
    bool ok = CheckKey(HKEY_LOCAL_MACHINE, key);
    // The 32-bit view is the Wow6432Node branch of the 64-bit one.
    const std::wstring below = L"SOFTWARE\\Wow6432Node" + key.substr(lstrlenW(L"SOFTWARE"));
    ok = DriverLog::Check(RegistryProbe::KeyExists(KEY_WOW64_64KEY, HKEY_LOCAL_MACHINE, below) == SetupView::Is32Bit(),
                          "the entry is %sbelow Wow6432Node", SetupView::Is32Bit() ? "" : "not ") && ok;
    ok = CheckString(view, HKEY_LOCAL_MACHINE, key, L"DisplayName", ProductFacts::kDisplayName) && ok;
    ok = CheckString(view, HKEY_LOCAL_MACHINE, key, L"DisplayIcon", uninstaller + L",0") && ok;
    ok = CheckString(view, HKEY_LOCAL_MACHINE, key, L"UninstallString", L"\"" + uninstaller + L"\"") && ok;
    ok = CheckString(view, HKEY_LOCAL_MACHINE, key, L"InstallLocation", installDirectory) && ok;
    ok = CheckDword(HKEY_LOCAL_MACHINE, key, L"NoModify", 1) && ok;
    ok = CheckDword(HKEY_LOCAL_MACHINE, key, L"NoRepair", 1) && ok;
    ok = CheckString(view, HKEY_LOCAL_MACHINE, key, L"DisplayVersion", PackagedVersion(installDirectory)) && ok;
    ok = DriverLog::Check(FileProbe::IsFile(uninstaller), "the registered uninstaller exists") && ok;
    return ok;
}

bool InstallCheck::VerifyRegistration(const std::wstring& installDirectory) const
{
    const std::wstring server = std::wstring(L"CLSID\\") + ProductFacts::kServerClass;
    const std::wstring control = std::wstring(L"CLSID\\") + ProductFacts::kControlClass;
    const std::wstring quotedPlayer = L"\"" + installDirectory + ProductFacts::kPlayer + L"\"";
    const std::wstring environment = L" -env \"" + installDirectory + L"\\" + ProductFacts::kEnvironmentFile + L"\"";
    const REGSAM view = SetupView::Registry();

    // Class IDs are redirected: in the setup's view only.
    bool ok = CheckKey(HKEY_CLASSES_ROOT, server);
    ok = CheckKey(HKEY_CLASSES_ROOT, control) && ok;
    ok = CheckString(view, HKEY_CLASSES_ROOT, server, nullptr, ProductFacts::kDisplayName) && ok;
    ok = CheckString(view, HKEY_CLASSES_ROOT, server + L"\\LocalServer32", nullptr, quotedPlayer + environment) && ok;
    ok = CheckString(view, HKEY_CLASSES_ROOT, server + L"\\InprocHandler32", nullptr, L"ole32.dll") && ok;
    ok = CheckKey(HKEY_CLASSES_ROOT, server + L"\\Implemented Categories\\" + ProductFacts::kScriptingCategory) && ok;
    ok = CheckKey(HKEY_CLASSES_ROOT, server + L"\\Implemented Categories\\" + ProductFacts::kInitialisingCategory) && ok;
    ok = CheckKey(HKEY_CLASSES_ROOT, server + L"\\Implemented Categories\\" + ProductFacts::kControlsCategory) && ok;
    ok = CheckKey(HKEY_CLASSES_ROOT, server + L"\\Insertable") && ok;

    // The control registers itself; the setup adds its installation mode and program id.
    ok = CheckString(view, HKEY_CLASSES_ROOT, control + L"\\InprocServer32", nullptr,
                     installDirectory + ProductFacts::kControl, true) && ok;
    ok = CheckDword(HKEY_CLASSES_ROOT, control, L"Installation Mode", 0) && ok;

    // ProgIDs and extensions are shared: one key, seen from both views.
    ok = CheckShared(HKEY_CLASSES_ROOT, ProductFacts::kControlProgId, nullptr, ProductFacts::kDisplayName) && ok;
    ok = CheckShared(HKEY_CLASSES_ROOT, std::wstring(ProductFacts::kControlProgId) + L"\\CLSID", nullptr,
                     ProductFacts::kControlClass) && ok;
    const std::wstring progId = ProductFacts::kProgId;
    ok = CheckShared(HKEY_CLASSES_ROOT, progId, nullptr, ProductFacts::kFileTypeDescription) && ok;
    ok = CheckShared(HKEY_CLASSES_ROOT, progId + L"\\CLSID", nullptr, ProductFacts::kServerClass) && ok;
    ok = CheckShared(HKEY_CLASSES_ROOT, progId + L"\\DefaultIcon", nullptr,
                     installDirectory + ProductFacts::kDocumentIcon + L",0") && ok;
    ok = CheckShared(HKEY_CLASSES_ROOT, progId + L"\\shell\\open\\command", nullptr,
                     quotedPlayer + L" \"%1\"" + environment) && ok;
    ok = CheckShared(HKEY_CLASSES_ROOT, L".orlix", nullptr, progId) && ok;
    ok = CheckShared(HKEY_CLASSES_ROOT, L".orx", nullptr, progId) && ok;
    if (GetEnvironmentVariableW(L"Zephyrix_QGM_Support", nullptr, 0) == 0) {
        std::wstring qgm;
        RegistryProbe::ReadString(view, HKEY_CLASSES_ROOT, L".qgm", nullptr, &qgm);
        ok = DriverLog::Check(qgm != progId, ".qgm is not bound without Zephyrix_QGM_Support") && ok;
    }
    return ok;
}

bool InstallCheck::VerifyShortcuts(const std::wstring& installDirectory) const
{
    struct Expected {
        const wchar_t* file;
        std::wstring target;
        const wchar_t* description;
        bool uninstallerIcon;
    };
    const std::wstring menu = StartMenuFolder();
    const std::wstring samples = menu + L"\\" + ProductFacts::kSamplesFolder;
    const std::wstring uninstaller = installDirectory + ProductFacts::kUninstaller;
    const Expected expected[] = {
        {L"License.lnk", installDirectory + ProductFacts::kLicenseCopy, L"Kaze Mar Orlix Player license agreement", true},
        {L"Uninstall.lnk", uninstaller, L"Uninstall Kaze Mar Orlix Player", true},
        {L"Quickstart guide.lnk", installDirectory + ProductFacts::kQuickStart, L"Kaze Mar Orlix Player quickstart guide",
         false},
        {L"\\Microsoft Powerpoint sample.lnk", installDirectory + L"\\resources\\Zephyrix\\HTML\\PPTDemo.ppt",
         L"Kaze Mar Orlix Player in Microsoft Powerpoint sample", false},
        {L"\\Microsoft Word sample.lnk", installDirectory + L"\\resources\\Zephyrix\\HTML\\WordDemo.doc",
         L"Kaze Mar Orlix Player in Microsoft Word sample", false},
    };
    bool ok = true;
    for (const Expected& link : expected) {
        const std::wstring path =
            link.file[0] == L'\\' ? samples + link.file : menu + L"\\" + link.file;
        LinkFacts facts = ReadLink(path);
        bool good = facts.loaded && SameText(facts.target, link.target) && facts.description == link.description &&
                    (!link.uninstallerIcon || SameText(facts.icon, uninstaller));
        ok = DriverLog::Check(good, "shortcut %s -> \"%s\" \"%s\" icon \"%s\"", Utf8(path).c_str(),
                              Utf8(facts.target).c_str(), Utf8(facts.description).c_str(), Utf8(facts.icon).c_str()) &&
             ok;
    }
    return ok;
}

bool InstallCheck::VerifyLicenseAndEnvironment(const std::wstring& installDirectory) const
{
    std::vector<uint8_t> copy, original;
    const bool copied = FileProbe::Read(installDirectory + ProductFacts::kLicenseCopy, &copy) && !copy.empty();
    bool ok = DriverLog::Check(copied, "license copy resources\\License.rtf written (%zu bytes)", copy.size());
    if (FileProbe::Read(installDirectory + ProductFacts::kLicenseSource, &original))
        ok = DriverLog::Check(copy == original, "the license copy equals the installed license text") && ok;

    std::vector<uint8_t> environment;
    const std::wstring path = installDirectory + L"\\" + ProductFacts::kEnvironmentFile;
    bool read = FileProbe::Read(path, &environment);
    bool hasLine = false;
    for (const std::wstring& line : Lines(environment))
        hasLine = hasLine || line == ProductFacts::kSettingLine;
    ok = DriverLog::Check(read && hasLine, "%s holds the line \"%s\"", Utf8(path).c_str(),
                          Utf8(ProductFacts::kSettingLine).c_str()) && ok;
    ok = DriverLog::Check(!FileProbe::HasSetupTemporary(installDirectory, 0, true), "no temporary file is left") && ok;
    return ok;
}
