#include "InflateCount.h"

#include <windows.h>
#include <zlib.h>

namespace {

volatile LONG g_started = 0;

} // namespace

extern "C" {

int __real_inflateInit_(z_streamp stream, const char* version, int size);

// uncompress starts its inflation here too.
int __wrap_inflateInit_(z_streamp stream, const char* version, int size)
{
    InterlockedIncrement(&g_started);
    return __real_inflateInit_(stream, version, size);
}

} // extern "C"

namespace InflateCount {

int Started()
{
    return static_cast<int>(InterlockedCompareExchange(&g_started, 0, 0));
}

} // namespace InflateCount
