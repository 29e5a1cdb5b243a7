#pragma once
#include "foundation/WStringArray.h"

// The SETUP list resources (FILES, RESOURCES): one entry per line, written by the packer in
// Windows-1252.
namespace FileList {

// At most this many bytes make a line; a longer one is refused rather than cut, since a cut
// name would extract a different file.
const int kMaxLine = 259;

// Splits a list resource into lines: every control byte (CR, LF, ...) ends a line, empty lines
// are skipped, and text after the last line break is a line too. A line over the limit fails
// with "Archive.ListLineTooLong" naming the list and the line.
HRESULT Read(const WString& listName, const unsigned char* bytes, int size, WStringArray* lines);

// "source -> target" names the entry target (leading spaces dropped); a line without "->"
// is the entry name itself.
WString EntryName(const WString& line);

} // namespace FileList
