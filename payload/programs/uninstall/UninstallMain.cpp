// The product's uninstaller (its name and the product's are in ProductConstants.h).
//
//   uninstaller              asks first, then reports the outcome in a message box
//   uninstaller /Uninstall   silent: the setup runs this before installing again
//
// Exit codes: 0 removed, 1 something could not be removed (or nothing is installed),
// 2 bad arguments or the user declined.
#include <windows.h>

#include "Uninstaller.h"
#include "foundation/PathText.h"
#include "foundation/ProductConstants.h"
#include "foundation/SystemLibraries.h"
#include "payload/programs/common/CommandLine.h"

// It asks for administrator rights as setup.exe does, and may run from a folder the user can
// write (an installation folder the user chose): library search by name goes to the system
// folder before any of its code runs. Sorted in among the C runtime's own TLS callbacks.
extern "C" {
extern PIMAGE_TLS_CALLBACK kz_systemLibrariesOnly;
__attribute__((section(".CRT$XLB"), used)) PIMAGE_TLS_CALLBACK kz_systemLibrariesOnly = SystemLibraries::OnProcessAttach;
}

namespace {

const int kExitRemoved = 0;
const int kExitIncomplete = 1;
const int kExitNotStarted = 2;

enum Mode { kInteractive, kSilent, kBadArguments };

Mode ParseMode()
{
    const wchar_t* arguments = CommandLine::Arguments(GetCommandLineW());
    const int length = lstrlenW(arguments);
    if (length > 256)
        return kBadArguments;
    wchar_t buffer[260];
    CopyMemory(buffer, arguments, (length + 1) * sizeof(wchar_t));
    wchar_t* list[4];
    const int count = CommandLine::Split(buffer, list, 4);
    if (count == 0)
        return kInteractive;
    if (count == 1 && (list[0][0] == L'/' || list[0][0] == L'-') && lstrcmpiW(list[0] + 1, L"Uninstall") == 0)
        return kSilent;
    return kBadArguments;
}

// The product's name followed by text, in buffer.
const wchar_t* AboutProduct(wchar_t* buffer, int capacity, const wchar_t* text)
{
    lstrcpynW(buffer, Product::kDisplayName, capacity);
    PathText::Append(buffer, capacity, text);
    return buffer;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const Mode mode = ParseMode();
    if (mode == kBadArguments)
        return kExitNotStarted;
    wchar_t caption[128];
    AboutProduct(caption, 128, L" Uninstall");
    wchar_t question[256];
    lstrcpyW(question, L"Do you want to remove ");
    PathText::Append(question, 256, Product::kDisplayName);
    PathText::Append(question, 256, L" and all of its components from this computer?");
    if (mode == kInteractive &&
        MessageBoxW(nullptr, question, caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return kExitNotStarted;

    Uninstaller uninstaller;
    const bool removed = uninstaller.Run();
    if (mode == kInteractive) {
        static wchar_t text[Uninstaller::kMaxPath * 9];
        if (!uninstaller.FoundInstallation()) {
            MessageBoxW(nullptr, AboutProduct(text, 256, L" is not installed on this computer."), caption,
                        MB_OK | MB_ICONINFORMATION);
        } else if (removed) {
            MessageBoxW(nullptr, AboutProduct(text, 256, L" has been removed from this computer."), caption,
                        MB_OK | MB_ICONINFORMATION);
        } else {
            AboutProduct(text, 256, L" has been removed, except for the following:\r\n\r\n");
            const int used = lstrlenW(text);
            lstrcpynW(text + used, uninstaller.Report(), Uninstaller::kMaxPath * 9 - used);
            MessageBoxW(nullptr, text, caption, MB_OK | MB_ICONWARNING);
        }
    }
    return removed ? kExitRemoved : kExitIncomplete;
}
