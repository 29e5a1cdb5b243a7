// bench_extract: times ExtractResourceArchive of the archive linked into this program against
// the limit for the same bytes: inflating every block with nothing written, plus writing the
// same files from memory with nothing inflated.
//
//   bench_extract measure DIR [limit-first]  extraction into DIR\extract and the limit into
//                                            DIR\limit in one process, archive pages touched
//                                            first so neither side pays their first reading
//   bench_extract extract DIR                the extraction alone into DIR, with the process's
//                                            working set before and at its peak
//   bench_extract profile DIR                the extraction whole, then its serial path in parts
//   bench_extract closepool DIR              the limit's writing with handles closed on threads
//   bench_extract idle                       nothing: what starting this program costs
//
// KZ_BENCH_WRITE_PIECE=N writes the limit's files in pieces of at most N bytes.
// Results are printed as "name=value" lines (seconds and bytes); bench/run collects them.
#include "foundation/Platform.h"

#include <cstdio>

#include "archive/ArchiveCatalogs.h"
#include "bench/ExtractModes.h"
#include "bench/ProcessMemory.h"
#include "bench/SerialLimit.h"
#include "foundation/MessageCatalog.h"

int wmain(int argc, wchar_t** argv)
{
    MessageCatalog::SetSource(&ArchiveCatalogs());
    const WString mode = argc > 1 ? WString(argv[1]) : WString(L"");
    wchar_t piece[16];
    if (GetEnvironmentVariableW(L"KZ_BENCH_WRITE_PIECE", piece, 16) > 0)
        SetWritePiece(_wtoi(piece));
    int result = 2;
    if (mode == WString(L"idle")) {
        PrintMemory("idle", ReadMemory());
        result = 0;
    } else if (argc >= 3 && mode == WString(L"measure")) {
        result = Measure(WString(argv[2]), argc > 3 && WString(argv[3]) == WString(L"limit-first"));
    } else if (argc == 3 && mode == WString(L"extract")) {
        result = ExtractOnly(WString(argv[2]));
    } else if (argc == 3 && mode == WString(L"closepool")) {
        result = ClosePool(WString(argv[2]));
    } else if (argc == 3 && mode == WString(L"profile")) {
        result = Profile(WString(argv[2]));
    } else {
        std::fprintf(stderr, "usage: bench_extract measure DIR [limit-first] | extract DIR | profile DIR | closepool DIR | idle\n");
    }
    std::fflush(stdout);
    return result;
}
