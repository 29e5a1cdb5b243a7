// kzpack: lays down, lists, unpacks and checks install archives on the build host.
//
//   kzpack create [--best] -C ROOT -o ARCHIVE LIST...
//   kzpack list ARCHIVE
//   kzpack extract ARCHIVE DIR
//   kzpack verify ARCHIVE
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ArchiveImage.h"
#include "ArchiveWriter.h"
#include "Cp1252.h"
#include "FileList.h"

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: kzpack create [--best] -C ROOT -o ARCHIVE LIST...\n"
                 "       kzpack list ARCHIVE\n"
                 "       kzpack extract ARCHIVE DIR\n"
                 "       kzpack verify ARCHIVE\n");
    return 2;
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "kzpack: %s\n", message.c_str());
    return 1;
}

std::string HostPath(const std::string& root, const std::string& cp1252Path)
{
    std::string relative = Cp1252::ToUtf8(cp1252Path);
    for (char& c : relative) {
        if (c == '\\')
            c = '/';
    }
    return root.empty() ? relative : root + "/" + relative;
}

std::string HostPath(const std::string& root, const std::u16string& name)
{
    std::string relative = Cp1252::Utf16ToUtf8(name);
    for (char& c : relative) {
        if (c == '\\')
            c = '/';
    }
    return root + "/" + relative;
}

bool ReadSource(const std::string& path, std::vector<uint8_t>* data, std::string* error)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        *error = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        *error = "not a regular file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = std::strerror(errno);
        return false;
    }
    data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        *error = "read error";
        return false;
    }
    return true;
}

// Writes next to the output and renames over it, so a failed run leaves no partial archive.
bool WriteAtomically(const std::string& output, const std::vector<uint8_t>& bytes, std::string* error)
{
    std::string temporary = output + ".XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        *error = output + ": cannot create a temporary file: " + std::strerror(errno);
        return false;
    }
    bool ok = fchmod(fd, 0644) == 0;
    size_t written = 0;
    while (ok && written < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            written += static_cast<size_t>(n);
    }
    if (ok)
        ok = fsync(fd) == 0;
    const int saved = errno;
    if (close(fd) != 0)
        ok = false;
    if (ok && rename(temporary.c_str(), output.c_str()) != 0)
        ok = false;
    if (!ok) {
        *error = output + ": cannot write: " + std::strerror(saved ? saved : errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

int Create(int argc, char** argv)
{
    std::string root = ".";
    std::string output;
    std::vector<std::string> lists;
    bool best = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--best")
            best = true;
        else if (arg == "-C" && i + 1 < argc)
            root = argv[++i];
        else if (arg == "-o" && i + 1 < argc)
            output = argv[++i];
        else if (!arg.empty() && arg[0] == '-')
            return Usage();
        else
            lists.push_back(arg);
    }
    if (output.empty() || lists.empty())
        return Usage();

    FileList reader;
    std::vector<ListEntry> entries;
    std::string error;
    for (const std::string& list : lists) {
        if (!reader.Read(list, &entries, &error))
            return Fail(error);
    }

    ArchiveWriter writer(best);
    std::vector<uint8_t> data;
    for (const ListEntry& entry : entries) {
        const std::string where = entry.list + ":" + std::to_string(entry.line) + ": ";
        const std::string source = HostPath(root, entry.source);
        if (!ReadSource(source, &data, &error))
            return Fail(where + "cannot read source \"" + source + "\": " + error);
        if (!writer.Add(entry.target, data.data(), data.size(), &error))
            return Fail(where + "source \"" + source + "\": " + error);
    }
    std::vector<uint8_t> archive;
    if (!writer.Finish(&archive, &error))
        return Fail(output + ": " + error);
    if (!WriteAtomically(output, archive, &error))
        return Fail(error);
    return 0;
}

int List(const char* path)
{
    ArchiveImage image;
    std::string error;
    if (!image.Load(path, &error))
        return Fail(error);
    for (const ImageEntry& entry : image.Entries())
        std::printf("%d %d %d %s\n", entry.block, entry.offset, entry.storedLength,
                    Cp1252::Utf16ToUtf8(entry.name).c_str());
    return 0;
}

int Verify(const char* path)
{
    ArchiveImage image;
    std::string error;
    if (!image.Load(path, &error))
        return Fail(error);
    std::vector<std::string> problems;
    if (!image.Verify(&problems)) {
        for (const std::string& problem : problems)
            std::fprintf(stderr, "kzpack: %s: %s\n", path, problem.c_str());
        return 1;
    }
    std::printf("%s: %zu entries in %zu blocks, all sound\n", path, image.Entries().size(),
                image.Blocks().size());
    return 0;
}

bool MakeFolders(const std::string& path)
{
    for (size_t cut = path.find('/', 1); cut != std::string::npos; cut = path.find('/', cut + 1)) {
        const std::string folder = path.substr(0, cut);
        if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

int Extract(const char* path, const std::string& folder)
{
    ArchiveImage image;
    std::string error;
    if (!image.Load(path, &error))
        return Fail(error);
    std::vector<std::string> problems;
    if (!image.Verify(&problems)) {
        for (const std::string& problem : problems)
            std::fprintf(stderr, "kzpack: %s: %s\n", path, problem.c_str());
        return 1;
    }
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
        return Fail(folder + ": " + std::strerror(errno));
    std::vector<uint8_t> content;
    int32_t loaded = -1;
    for (const ImageEntry& entry : image.Entries()) {
        const std::string problem = FileList::CheckName(entry.name);
        if (!problem.empty())
            return Fail(std::string(path) + ": " + problem);
        if (entry.block != loaded) {
            if (!image.InflateBlock(entry.block, &content, &error))
                return Fail(std::string(path) + ": " + error);
            loaded = entry.block;
        }
        const std::string target = HostPath(folder, entry.name);
        if (!MakeFolders(target))
            return Fail(target + ": cannot create its folder: " + std::strerror(errno));
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(content.data()) + entry.offset + 4, entry.storedLength - 4);
        out.close();
        if (!out)
            return Fail(target + ": cannot write");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    if (command == "create")
        return Create(argc, argv);
    if (command == "list" && argc == 3)
        return List(argv[2]);
    if (command == "verify" && argc == 3)
        return Verify(argv[2]);
    if (command == "extract" && argc == 4)
        return Extract(argv[2], argv[3]);
    return Usage();
}
