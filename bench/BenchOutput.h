#pragma once
// How bench_extract reports: "name=value" lines on stdout (seconds and bytes), which bench/run
// and bench/compare read by name; failures on stderr.
#include <cstdio>

inline void PrintValue(const char* name, double value)
{
    std::printf("%s=%.6f\n", name, value);
}

inline void PrintCount(const char* name, unsigned long long value)
{
    std::printf("%s=%llu\n", name, value);
}

inline bool Fail(const char* what)
{
    std::fprintf(stderr, "bench_extract: %s\n", what);
    return false;
}
