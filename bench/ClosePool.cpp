// Whether closing handles on a small pool of threads pays here: the limit's writing half, with
// each file closed by the writer, and with the handles passed to two closing threads (timed
// until every handle is closed). Alternating, three rounds each.
#include "bench/ExtractModes.h"

#include "foundation/Platform.h"

#include <memory>
#include <new>

#include "bench/BenchOutput.h"
#include "bench/Clock.h"
#include "bench/SerialLimit.h"
#include "foundation/ScopedHandle.h"

namespace {

DWORD WINAPI CloseHandles(void* port)
{
    for (;;) {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        OVERLAPPED* overlapped = nullptr;
        if (!GetQueuedCompletionStatus(static_cast<HANDLE>(port), &bytes, &key, &overlapped, INFINITE) || key == 0)
            return 0;
        const ScopedFile handed(reinterpret_cast<HANDLE>(key));
    }
}

} // namespace

int ClosePool(const WString& folder)
{
    Payload payload;
    if (!LoadPayload(&payload))
        return 1;
    const std::unique_ptr<unsigned char[]> content(new (std::nothrow) unsigned char[payload.contentTotal]);
    if (!content || !InflateCopy(payload, content.get()))
        return 1;
    CreateDirectoryW(folder.c_str(), nullptr);
    double inlineBest = 1e9, poolBest = 1e9;
    int result = 0;
    for (int round = 0; round < 3 && result == 0; ++round) {
        double seconds = 0;
        if (!WriteAll(payload, content.get(), folder + L"\\inline" + FromInt(round), &seconds))
            result = 1;
        inlineBest = seconds < inlineBest ? seconds : inlineBest;
        const double start = Now();
        {
            const ScopedKernelHandle port(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 2));
            const ScopedKernelHandle threads[2] = {
                ScopedKernelHandle(CreateThread(nullptr, 0, CloseHandles, port.get(), 0, nullptr)),
                ScopedKernelHandle(CreateThread(nullptr, 0, CloseHandles, port.get(), 0, nullptr))};
            if (!WriteAll(payload, content.get(), folder + L"\\pool" + FromInt(round), &seconds, port.get()))
                result = 1;
            for (int k = 0; k < 2; ++k)
                PostQueuedCompletionStatus(port.get(), 0, 0, nullptr);
            const HANDLE waited[2] = {threads[0].get(), threads[1].get()};
            WaitForMultipleObjects(2, waited, TRUE, INFINITE);
        }
        seconds = Now() - start;
        poolBest = seconds < poolBest ? seconds : poolBest;
    }
    PrintValue("close_inline_s", inlineBest);
    PrintValue("close_pool_s", poolBest);
    return result;
}
