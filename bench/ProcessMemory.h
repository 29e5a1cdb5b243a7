#pragma once
// The process's memory as GetProcessMemoryInfo and QueryWorkingSetEx see it.
#include <cstddef>

struct Memory {
    unsigned long long workingSet;
    unsigned long long peakWorkingSet;
    unsigned long long privateBytes;
    unsigned long long peakPrivateBytes;
};

Memory ReadMemory();
// PREFIX_ws, PREFIX_peak_ws, PREFIX_private, PREFIX_peak_private.
void PrintMemory(const char* prefix, const Memory& memory);
// Bytes of [data, data + size) that are in the working set now (~0 when it cannot be told).
unsigned long long ResidentBytes(const void* data, size_t size);
