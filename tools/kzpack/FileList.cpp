#include "FileList.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "Cp1252.h"
#include "archive/SafeName.h"

namespace {

std::string Hex(unsigned char byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

std::string Quoted(const std::string& cp1252)
{
    return "\"" + Cp1252::ToUtf8(cp1252) + "\"";
}

// A valid multi-byte UTF-8 sequence at i: a list saved as UTF-8 instead of Windows-1252 would
// silently give other names than the ones meant.
bool Utf8SequenceAt(const std::string& s, size_t i)
{
    const unsigned char lead = static_cast<unsigned char>(s[i]);
    size_t follow;
    if (lead >= 0xC2 && lead <= 0xDF)
        follow = 1;
    else if (lead >= 0xE0 && lead <= 0xEF)
        follow = 2;
    else if (lead >= 0xF0 && lead <= 0xF4)
        follow = 3;
    else
        return false;
    if (i + follow >= s.size())
        return false;
    for (size_t k = 1; k <= follow; ++k) {
        const unsigned char c = static_cast<unsigned char>(s[i + k]);
        if (c < 0x80 || c > 0xBF)
            return false;
    }
    return true;
}

} // namespace

std::string FileList::CheckTarget(const std::string& bytes, const std::u16string& name)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (Utf8SequenceAt(bytes, i))
            return "target " + Quoted(bytes) +
                   " looks like UTF-8; the list must be written in Windows-1252";
    }
    return CheckName(name);
}

std::string FileList::CheckName(const std::u16string& name)
{
    size_t start = 0, length = 0;
    const SafeName::Problem problem = SafeName::Check(name.data(), name.size(), &start, &length);
    const std::string shown = "target \"" + Cp1252::Utf16ToUtf8(name) + "\"";
    const std::string component = "\"" + Cp1252::Utf16ToUtf8(name.substr(start, length)) + "\"";
    switch (problem) {
    case SafeName::kSafe:
        return std::string();
    case SafeName::kEmpty:
        return "target is empty";
    case SafeName::kAbsolute:
        return shown + " is absolute";
    case SafeName::kColon:
        return shown + " contains \":\" (drive or stream name)";
    case SafeName::kSlash:
        return shown + " uses \"/\"; the separator is \"\\\"";
    case SafeName::kBadCharacter:
        return shown + " contains a character Windows file names cannot hold";
    case SafeName::kEmptyComponent:
        return shown + " has an empty component";
    case SafeName::kDotsComponent:
        return shown + " has a " + component + " component";
    case SafeName::kTrailingDotOrSpace:
        return shown + " has a component ending in a space or a dot, which Windows drops (" + component + ")";
    case SafeName::kDeviceName:
        return shown + " uses the Windows device name " + component;
    case SafeName::kUninstallFile:
        return shown + " is the name of the uninstall data file";
    }
    return shown + " is refused";
}

std::string FileList::CheckSource(const std::string& bytes)
{
    if (bytes.empty())
        return "source is empty";
    if (bytes[0] == '\\' || bytes[0] == '/' || bytes.find(':') != std::string::npos)
        return "source " + Quoted(bytes) + " is not a path below the root";
    size_t start = 0;
    for (;;) {
        const size_t end = bytes.find_first_of("\\/", start);
        const std::string component =
            bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (component == "..")
            return "source " + Quoted(bytes) + " leaves the root";
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return std::string();
}

std::u16string FileList::Fold(const std::u16string& name)
{
    // Windows compares file names without regard to case.
    std::u16string folded(name);
    for (char16_t& c : folded) {
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            c = static_cast<char16_t>(c - 0x20);
        else if (c == 0xFF)
            c = 0x178;
        else if (c == 0x161 || c == 0x17E || c == 0x153)
            c = static_cast<char16_t>(c - 1);
    }
    return folded;
}

std::string FileList::Describe(const Where& where)
{
    return where.list + ":" + std::to_string(where.line);
}

std::string FileList::CheckClashes(const std::u16string& target, const ListEntry& entry)
{
    const std::u16string folded = Fold(target);
    auto file = files_.find(folded);
    if (file != files_.end())
        return "duplicate target " + Quoted(entry.targetBytes) + " (already at " +
               Describe(file->second) + ")";
    auto folder = folders_.find(folded);
    if (folder != folders_.end())
        return "target " + Quoted(entry.targetBytes) + " is a folder of the target at " +
               Describe(folder->second);
    for (size_t cut = folded.find(u'\\'); cut != std::u16string::npos;
         cut = folded.find(u'\\', cut + 1)) {
        auto clash = files_.find(folded.substr(0, cut));
        if (clash != files_.end())
            return "target " + Quoted(entry.targetBytes) + " needs a folder that is the file at " +
                   Describe(clash->second);
    }
    const Where here{entry.list, entry.line};
    files_.emplace(folded, here);
    for (size_t cut = folded.find(u'\\'); cut != std::u16string::npos;
         cut = folded.find(u'\\', cut + 1))
        folders_.emplace(folded.substr(0, cut), here);
    return std::string();
}

bool FileList::Read(const std::string& path, std::vector<ListEntry>* entries, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ": cannot read the list: " + std::strerror(errno);
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        *error = path + ": cannot read the list";
        return false;
    }

    size_t added = 0;
    int lineNumber = 0;
    size_t position = 0;
    // Text after the last line break counts as a line, as the setup reads it.
    while (position < bytes.size()) {
        ++lineNumber;
        size_t end = bytes.find('\n', position);
        const size_t next = end == std::string::npos ? bytes.size() : end + 1;
        if (end == std::string::npos)
            end = bytes.size();
        if (end > position && bytes[end - 1] == '\r')
            --end;
        const std::string line = bytes.substr(position, end - position);
        position = next;

        const std::string where = path + ":" + std::to_string(lineNumber) + ": ";
        if (line.empty())
            continue;
        if (line.size() > kMaxListLine) {
            *error = where + "line is " + std::to_string(line.size()) + " bytes long, at most " +
                     std::to_string(kMaxListLine) + " are allowed";
            return false;
        }
        for (size_t i = 0; i < line.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(line[i]);
            if (c < 0x20 || c == 0x7F) {
                *error = where + "control byte " + Hex(c) + " at column " + std::to_string(i + 1) +
                         " (the setup would split the line there)";
                return false;
            }
        }

        ListEntry entry;
        entry.list = path;
        entry.line = lineNumber;
        const size_t arrow = line.find("->");
        if (arrow == std::string::npos) {
            entry.targetBytes = line;
            entry.source = line;
        } else {
            size_t from = arrow + 2;
            while (from < line.size() && line[from] == ' ')
                ++from;
            entry.targetBytes = line.substr(from);
            size_t first = 0, last = arrow;
            while (first < last && line[first] == ' ')
                ++first;
            while (last > first && line[last - 1] == ' ')
                --last;
            entry.source = line.substr(first, last - first);
        }

        size_t bad = 0;
        if (!Cp1252::ToUtf16(entry.targetBytes, &entry.target, &bad)) {
            *error = where + "target " + Quoted(entry.targetBytes) + " holds byte " +
                     Hex(static_cast<unsigned char>(entry.targetBytes[bad])) +
                     ", which is not a Windows-1252 character";
            return false;
        }
        std::string problem = CheckTarget(entry.targetBytes, entry.target);
        if (problem.empty())
            problem = CheckSource(entry.source);
        if (problem.empty())
            problem = CheckClashes(entry.target, entry);
        if (!problem.empty()) {
            *error = where + problem;
            return false;
        }
        entries->push_back(entry);
        ++added;
    }
    if (added == 0) {
        *error = path + ": the list has no entry";
        return false;
    }
    return true;
}
