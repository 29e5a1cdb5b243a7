#include "bench/ProcessMemory.h"

#include "foundation/Platform.h"

#include <psapi.h>
#include <cstdio>
#include <cstring>

#include "bench/BenchOutput.h"

namespace {

const size_t kPage = 4096;

} // namespace

Memory ReadMemory()
{
    PROCESS_MEMORY_COUNTERS counters;
    std::memset(&counters, 0, sizeof counters);
    counters.cb = sizeof counters;
    Memory memory = {};
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        memory.workingSet = counters.WorkingSetSize;
        memory.peakWorkingSet = counters.PeakWorkingSetSize;
        memory.privateBytes = counters.PagefileUsage;
        memory.peakPrivateBytes = counters.PeakPagefileUsage;
    }
    return memory;
}

void PrintMemory(const char* prefix, const Memory& memory)
{
    char name[64];
    std::snprintf(name, sizeof name, "%s_ws", prefix);
    PrintCount(name, memory.workingSet);
    std::snprintf(name, sizeof name, "%s_peak_ws", prefix);
    PrintCount(name, memory.peakWorkingSet);
    std::snprintf(name, sizeof name, "%s_private", prefix);
    PrintCount(name, memory.privateBytes);
    std::snprintf(name, sizeof name, "%s_peak_private", prefix);
    PrintCount(name, memory.peakPrivateBytes);
}

unsigned long long ResidentBytes(const void* data, size_t size)
{
    const uintptr_t first = reinterpret_cast<uintptr_t>(data) & ~static_cast<uintptr_t>(kPage - 1);
    const uintptr_t end = reinterpret_cast<uintptr_t>(data) + size;
    const size_t kBatch = 1024;
    PSAPI_WORKING_SET_EX_INFORMATION batch[kBatch];
    unsigned long long resident = 0;
    for (uintptr_t page = first; page < end;) {
        size_t count = 0;
        for (; count < kBatch && page < end; ++count, page += kPage)
            batch[count].VirtualAddress = reinterpret_cast<void*>(page);
        if (!QueryWorkingSetEx(GetCurrentProcess(), batch, static_cast<DWORD>(count * sizeof batch[0])))
            return ~0ull;
        for (size_t i = 0; i < count; ++i)
            resident += batch[i].VirtualAttributes.Valid ? kPage : 0;
    }
    return resident;
}
