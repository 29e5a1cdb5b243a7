#include "bench/SerialLimit.h"

#include <zlib.h>

#include "archive/StreamInflate.h"
#include "bench/BenchOutput.h"
#include "bench/Clock.h"
#include "foundation/PathText.h"
#include "foundation/ScopedHandle.h"

namespace {

int g_writePiece = 0;

bool WriteWhole(const WString& path, const void* data, int size, HANDLE closePort)
{
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return Fail("CreateFileW failed in the limit");
    const unsigned char* next = static_cast<const unsigned char*>(data);
    bool ok = true;
    for (int rest = size; ok && rest > 0;) {
        const int piece = g_writePiece > 0 && rest > g_writePiece ? g_writePiece : rest;
        DWORD written = 0;
        ok = WriteFile(file.get(), next, static_cast<DWORD>(piece), &written, nullptr) && written == static_cast<DWORD>(piece);
        next += piece;
        rest -= piece;
    }
    // A handle the port took is the closing threads' to close.
    if (closePort != nullptr && PostQueuedCompletionStatus(closePort, 0, reinterpret_cast<ULONG_PTR>(file.get()), nullptr))
        file.release();
    return ok || Fail("WriteFile failed in the limit");
}

} // namespace

void SetWritePiece(int bytes)
{
    g_writePiece = bytes;
}

bool InflateAll(Payload& payload, unsigned char* buffer, double* seconds)
{
    const double start = Now();
    double last = start;
    for (int b = 0; b < payload.blockCount; ++b) {
        Block& block = payload.blocks[b];
        uLongf produced = static_cast<uLongf>(block.contentSize);
        if (uncompress(buffer, &produced, block.stream, static_cast<uLong>(block.compressedSize)) != Z_OK ||
            produced != static_cast<uLongf>(block.contentSize))
            return Fail("a block does not inflate");
        const double now = Now();
        block.inflateSeconds = now - last;
        last = now;
    }
    *seconds = last - start;
    return true;
}

bool WriteAll(Payload& payload, const unsigned char* content, const WString& folder, double* seconds, HANDLE closePort)
{
    const double start = Now();
    WStringArray made;
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int b = 0; b < payload.blockCount; ++b)
        payload.blocks[b].writeSeconds = 0;
    double last = Now();
    for (int i = 0; i < payload.names.Count(); ++i) {
        const WString path = folder + L"\\" + payload.names.At(i);
        // Each missing folder level of the path, outermost first.
        for (int cut = folder.Length() + 1; cut < path.Length(); ++cut) {
            if (!PathText::IsSeparator(path[cut]))
                continue;
            const WString level = path.Mid(0, cut);
            bool known = false;
            for (int m = made.Count() - 1; m >= 0 && !known; --m)
                known = made.At(m) == level;
            if (!known) {
                CreateDirectoryW(level.c_str(), nullptr);
                made.Append(level);
            }
        }
        if (!WriteWhole(path, payload.ContentOf(content, i), payload.nameLength[i], closePort))
            return false;
        const double now = Now();
        payload.blocks[payload.nameBlock[i]].writeSeconds += now - last;
        last = now;
    }
    if (!WriteWhole(folder + L"\\Uninstall", payload.uninstall.get(), payload.uninstallSize, closePort))
        return false;
    *seconds = Now() - start;
    return true;
}

// A block larger than a pipeline piece is one zlib stream: one thread inflates it while the
// other writes it, so it costs the longer of the two. A run of small blocks can share its
// inflating between the threads, but only the writer writes: it costs its writing, or half of
// all its work when inflating is the larger part. No schedule in list order gets below the
// streams' inflating alone.
void OrderedBound(const Payload& payload, double* bound, double* streamed)
{
    *bound = 0;
    *streamed = 0;
    double runInflate = 0, runWrite = 0;
    for (int b = 0; b <= payload.blockCount; ++b) {
        const bool small = b < payload.blockCount && !IsLargeBlock(payload.blocks[b].contentSize);
        if (small) {
            runInflate += payload.blocks[b].inflateSeconds;
            runWrite += payload.blocks[b].writeSeconds;
            continue;
        }
        *bound += runWrite > (runInflate + runWrite) / 2 ? runWrite : (runInflate + runWrite) / 2;
        runInflate = runWrite = 0;
        if (b == payload.blockCount)
            break;
        const Block& block = payload.blocks[b];
        *bound += block.inflateSeconds > block.writeSeconds ? block.inflateSeconds : block.writeSeconds;
        *streamed += block.inflateSeconds;
    }
}
