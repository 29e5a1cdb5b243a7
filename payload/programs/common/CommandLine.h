#pragma once
// Command-line handling shared by the product's programs.
#include <windows.h>

namespace CommandLine {

// Space, tab, CR and LF separate arguments (the setup ends the tool's parameters with a LF).
bool IsBlank(wchar_t c);

// The arguments after the program's own name. A line that starts with a blank has no program
// name (CreateProcessW with an application name and the command line " /Uninstall"). An
// unquoted program name may hold blanks, as in the shell's open commands and the uninstall
// entry that earlier setups wrote, so the running module's path is recognised as a whole
// before falling back to the first blank.
const wchar_t* Arguments(const wchar_t* line);

// Splits text into at most `capacity` arguments, in place. An argument that starts with a
// double quote runs to the next double quote; backslashes are ordinary characters, so
// "C:\dir\" is a folder, not an escaped quote. Returns the count, or -1 when a quote is not
// closed, a closing quote is followed by something other than a blank, or there are more
// than `capacity` arguments.
int Split(wchar_t* text, wchar_t** arguments, int capacity);

} // namespace CommandLine
