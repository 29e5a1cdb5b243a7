#pragma once
// The setup's file lists as the packer reads them: Windows-1252 lines "source -> target" or
// "target", ended by CR LF (LF alone accepted). Every target is checked here so that the
// archive holds only names the setup can extract safely.
#include <map>
#include <string>
#include <vector>

struct ListEntry {
    std::string list;          // list path, for messages
    int line;                  // 1-based
    std::string source;        // Windows-1252 path below the root, "\" separated
    std::string targetBytes;   // Windows-1252 entry name as written in the list
    std::u16string target;     // entry name as stored in the archive
};

// Longest list line, in bytes without its line break: the setup reads lines into a buffer
// of 260 bytes.
const size_t kMaxListLine = 259;

class FileList {
public:
    // Reads one list and appends its entries. Duplicates are checked against every list read
    // so far. On failure *error is a one-line message "LIST:LINE: problem".
    bool Read(const std::string& path, std::vector<ListEntry>* entries, std::string* error);

    // The problem with a target name, or an empty text when it is fine.
    static std::string CheckTarget(const std::string& bytes, const std::u16string& name);
    // The same for a name alone (names read back from an archive).
    static std::string CheckName(const std::u16string& name);
    // The problem with a source path, or an empty text when it is fine.
    static std::string CheckSource(const std::string& bytes);

private:
    struct Where {
        std::string list;
        int line;
    };
    std::string CheckClashes(const std::u16string& target, const ListEntry& entry);
    static std::u16string Fold(const std::u16string& name);
    static std::string Describe(const Where& where);

    std::map<std::u16string, Where> files_;     // folded target -> first line naming it
    std::map<std::u16string, Where> folders_;   // folded folder prefix -> first line using it
};
