// What a person (and the system) sees of the product: names, keys, captions.
#pragma once

namespace ProductFacts {

const wchar_t kWizardCaption[] = L"Kaze Mar Orlix Player Install wizard";
const wchar_t kDisplayName[] = L"Kaze Mar Orlix Player";
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kaze-Mar Orlix Player";
const wchar_t kControlClass[] = L"{A3F0D7E1-52C4-4B8A-8E6D-1C9B2F47E305}";
const wchar_t kServerClass[] = L"{6E1B4C02-7A39-4F5D-9C21-3B8E5D0F7A64}";
const wchar_t kControlsCategory[] = L"{40FC6ED4-2438-11CF-A3DB-080036F12502}";
const wchar_t kScriptingCategory[] = L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
const wchar_t kInitialisingCategory[] = L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}";
const wchar_t kProgId[] = L"OrlixPlayer";
const wchar_t kControlProgId[] = L"OrlixPlayer.ocx";
const wchar_t kFileTypeDescription[] = L"Kaze Mar Orlix File";
const wchar_t kUninstaller[] = L"\\code\\bin\\OrlixPlayerUninstall.exe";
const wchar_t kPlayer[] = L"\\code\\bin\\OrlixPlayer.exe";
const wchar_t kControl[] = L"\\code\\bin\\ZephyrixOCXViewer.ocx";
const wchar_t kDocumentIcon[] = L"\\resources\\graphic\\OrlixFile.ico";
const wchar_t kQuickStart[] = L"\\resources\\Zephyrix\\HTML\\quickstart.html";
const wchar_t kLicenseSource[] = L"\\resources\\KZOrlixLicense.rtf";
const wchar_t kLicenseCopy[] = L"\\resources\\License.rtf";
const wchar_t kVersionFile[] = L"resources\\Zephyrix\\versions\\PlayerVersion.txt";
const wchar_t kEnvironmentFile[] = L"Environnement.txt";
const wchar_t kSettingLine[] = L"QorUserSettingPath=CSIDL_APPDATA\\..\\OrlixPlayer\\QorSettings";
const wchar_t kSamplesFolder[] = L"Orlix Player samples";

// Pages in wizard order.
const wchar_t* const kPages[] = {L"Welcome", L"License", L"Target", L"Summary", L"Install", L"End"};

// Box captions.
const wchar_t kErrorCaption[] = L"Error";
const wchar_t kWarningCaption[] = L"Warning";
const wchar_t kAlreadyInstalledCaption[] = L"Program already installed";
const wchar_t kUninstallerCaption[] = L"Kaze Mar Orlix Player Uninstall";

// Button captions.
const wchar_t kNext[] = L"&Next >";
const wchar_t kBack[] = L"< &Back";
const wchar_t kCancel[] = L"Cancel";
const wchar_t kInstall[] = L"&Install >";
const wchar_t kFinish[] = L"&Finish";
const wchar_t kAgree[] = L"I &accept the terms in the license agreement";
const wchar_t kNoAgree[] = L"I &do not accept the terms in the license agreement";
const wchar_t kBrowse[] = L"&Change...";

} // namespace ProductFacts
