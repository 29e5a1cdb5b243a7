#pragma once
// The facts about the one product: its names, the places of its files inside an installation,
// its COM and document-type names and the registry key that lists installed programs. The
// setup writes by them and the payload's uninstaller removes by them, so both read them here.
// Header-only and built on the system headers alone, like PathText.h.
#include <windows.h>

namespace Product {

// The name the user sees (also the Start-menu folder and the last folder of the proposed
// target), and the name of its key below kUninstallKey.
constexpr wchar_t kDisplayName[] = L"Kaze Mar Orlix Player";
constexpr wchar_t kRegistryKeyName[] = L"Kaze-Mar Orlix Player";
// Below HKEY_LOCAL_MACHINE, without a trailing separator.
constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Entries of the install archive that the setup reads itself.
constexpr wchar_t kVersionEntry[] = L"resources\\Zephyrix\\versions\\PlayerVersion.txt";
constexpr wchar_t kLicenseEntry[] = L"resources\\KZOrlixLicense.rtf";

// The install directory is the chosen target folder followed by this.
constexpr wchar_t kInstallFolder[] = L"\\intel_a";

// Folders relative to the install directory, with both separators.
constexpr wchar_t kProgramFolder[] = L"\\code\\bin\\";
constexpr wchar_t kResourcesFolder[] = L"\\resources\\";

// Files in kProgramFolder.
constexpr wchar_t kUninstallerBaseName[] = L"OrlixPlayerUninstall";
constexpr wchar_t kProgramExtension[] = L".exe";
constexpr wchar_t kServerProgram[] = L"OrlixPlayer.exe";
constexpr wchar_t kControlFile[] = L"ZephyrixOCXViewer.ocx";
constexpr wchar_t kEnvironmentTool[] = L"setqorenv.exe";

// Files in kResourcesFolder.
constexpr wchar_t kDocumentIcon[] = L"graphic\\OrlixFile.ico";
constexpr wchar_t kQuickStartGuide[] = L"Zephyrix\\HTML\\quickstart.html";
constexpr wchar_t kPowerPointSample[] = L"Zephyrix\\HTML\\PPTDemo.ppt";
constexpr wchar_t kWordSample[] = L"Zephyrix\\HTML\\WordDemo.doc";
// The license copy: the catalog text of kLicenseCopyKey followed by kLicenseCopyExtension.
// The uninstaller reads no catalog: kLicenseCopyName is that text as shipped.
constexpr wchar_t kLicenseCopyKey[] = L"Demo.Lic.Link";
constexpr wchar_t kLicenseCopyName[] = L"License";
constexpr wchar_t kLicenseCopyExtension[] = L".rtf";

// In the install directory: the environment file, and the name the environment tool's rewrite
// goes through (the file's name followed by kRewriteSuffix), which the uninstaller removes too.
constexpr wchar_t kEnvironmentFile[] = L"Environnement.txt";
constexpr wchar_t kRewriteSuffix[] = L".tmp";

// Start-menu folder of the sample shortcuts, below the product's.
constexpr wchar_t kSamplesFolder[] = L"Orlix Player samples";

// The local server's and the viewer control's classes and program ids.
constexpr GUID kServerClass = {0x6E1B4C02, 0x7A39, 0x4F5D, {0x9C, 0x21, 0x3B, 0x8E, 0x5D, 0x0F, 0x7A, 0x64}};
constexpr GUID kControlClass = {0xA3F0D7E1, 0x52C4, 0x4B8A, {0x8E, 0x6D, 0x1C, 0x9B, 0x2F, 0x47, 0xE3, 0x05}};
constexpr wchar_t kServerProgramId[] = L"OrlixPlayer";
constexpr wchar_t kControlProgramId[] = L"OrlixPlayer.ocx";

// Document types: the product's own two, and the one added when kQgmVariable is set.
constexpr wchar_t kOrlixExtension[] = L".orlix";
constexpr wchar_t kOrxExtension[] = L".orx";
constexpr wchar_t kQgmExtension[] = L".qgm";
constexpr wchar_t kDocumentDescription[] = L"Kaze Mar Orlix File";
constexpr wchar_t kQgmVariable[] = L"Zephyrix_QGM_Support";

} // namespace Product
