#pragma once
// bench_extract's modes; each prints its figures as "name=value" lines and returns the exit code.
#include "foundation/WString.h"

// Extraction into folder\extract against the limit into folder\limit, in one process.
int Measure(const WString& folder, bool limitFirst);
// The extraction alone, with the process's working set before and at its peak.
int ExtractOnly(const WString& folder);
// The product's extraction whole, then its serial path and the parts of that path.
int Profile(const WString& folder);
// The limit's writing half with handles closed by the writer and on two closing threads.
int ClosePool(const WString& folder);

// ExtractResourceArchive of the "Files" list into folder, timed; *cpu (if given) is the
// processor time the process used meanwhile.
bool TimedExtract(const WString& folder, double* seconds, double* cpu = nullptr);
