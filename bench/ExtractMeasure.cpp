// The extraction against the limit, and the extraction alone with its memory.
#include "bench/ExtractModes.h"

#include "foundation/Platform.h"

#include <cstdio>
#include <memory>
#include <new>

#include "archive/Extraction.h"
#include "archive/ResourceBuffer.h"
#include "bench/BenchOutput.h"
#include "bench/Clock.h"
#include "bench/ProcessMemory.h"
#include "bench/SerialLimit.h"
#include "foundation/PlatformError.h"

namespace {

// User + kernel time of the whole process so far.
double ProcessCpu()
{
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user))
        return 0;
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return static_cast<double>(k.QuadPart + u.QuadPart) / 1e7;
}

} // namespace

bool TimedExtract(const WString& folder, double* seconds, double* cpu)
{
    const double cpuStart = ProcessCpu();
    const double start = Now();
    if (ExtractResourceArchive(folder, WString(L"Files")) != S_OK) {
        const WString message = PlatformError::GetMessage();
        std::fprintf(stderr, "bench_extract: extraction failed: %ls\n", message.c_str());
        return false;
    }
    *seconds = Now() - start;
    // Above the wall time when the helper thread inflated while the worker wrote.
    if (cpu != nullptr)
        *cpu = ProcessCpu() - cpuStart;
    return true;
}

int Measure(const WString& folder, bool limitFirst)
{
    Payload payload;
    if (!LoadPayload(&payload))
        return 1;
    PrintPayload(payload);
    PrintCount("touched", TouchArchive(payload) & 1);
    const std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[static_cast<size_t>(payload.largestBlock)]);
    const std::unique_ptr<unsigned char[]> content(new (std::nothrow) unsigned char[payload.contentTotal]);
    if (!buffer || !content)
        return Fail("out of memory"), 1;
    double extract = 0, cpu = 0, inflate = 0, write = 0, again = 0;
    CreateDirectoryW(folder.c_str(), nullptr);
    const WString extractFolder = folder + L"\\extract";
    const WString limitFolder = folder + L"\\limit";
    if (!InflateCopy(payload, content.get()) ||
        !(limitFirst || TimedExtract(extractFolder, &extract, &cpu)) ||
        !InflateAll(payload, buffer.get(), &inflate) || !WriteAll(payload, content.get(), limitFolder, &write) ||
        !(!limitFirst || TimedExtract(extractFolder, &extract, &cpu)) ||
        // Over an earlier installation: every existing file is replaced.
        !TimedExtract(extractFolder, &again))
        return 1;
    PrintValue("extract_s", extract);
    PrintValue("again_s", again);
    PrintValue("extract_cpu_s", cpu);
    PrintValue("inflate_s", inflate);
    PrintValue("write_s", write);
    PrintValue("limit_s", inflate + write);
    PrintValue("ratio", extract / (inflate + write));
    // Two cores: inflating and writing at once can at best halve the serial limit.
    PrintValue("bound_s", (inflate + write) / 2);
    PrintValue("ratio_bound", extract / ((inflate + write) / 2));
    double ordered = 0, streamed = 0;
    OrderedBound(payload, &ordered, &streamed);
    PrintValue("ordered_s", ordered);
    PrintValue("ratio_ordered", extract / ordered);
    PrintValue("streamed_s", streamed);
    PrintValue("streamed_share", streamed / (inflate + write));
    PrintCount("verified", static_cast<unsigned long long>(CountVerified(payload, content.get(), extractFolder)));
    return 0;
}

int ExtractOnly(const WString& folder)
{
    // Nothing of the archive is read before the extraction: the resource is found only to
    // see how much of it the loader already brought in.
    ResourceBuffer resource;
    if (resource.Open(L"RESOURCES", L"KZ") != S_OK)
        return Fail("no RESOURCES archive"), 1;
    const Memory before = ReadMemory();
    const unsigned long long residentBefore = ResidentBytes(resource.Data(), static_cast<size_t>(resource.Remaining()));
    double seconds = 0;
    if (!TimedExtract(folder, &seconds))
        return 1;
    const Memory after = ReadMemory();
    PrintCount("archive_bytes", static_cast<unsigned long long>(resource.Remaining()));
    PrintValue("extract_s", seconds);
    PrintMemory("before", before);
    PrintMemory("after", after);
    PrintCount("archive_resident_before", residentBefore);
    PrintCount("archive_resident_after", ResidentBytes(resource.Data(), static_cast<size_t>(resource.Remaining())));
    return 0;
}
