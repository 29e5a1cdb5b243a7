#pragma once
// The limit for the extraction's work: the same bytes inflated with nothing written, and the
// same files written from memory with nothing inflated, each timed block by block.
#include "foundation/Platform.h"

#include "bench/Payload.h"

// Pieces of at most this many bytes per WriteFile call (0, the default: a file in one call).
void SetWritePiece(int bytes);
// First half: every block inflated once into one reused buffer of largestBlock bytes.
bool InflateAll(Payload& payload, unsigned char* buffer, double* seconds);
// Second half: the same files and the Uninstall file from the inflated copy below folder, each
// written with one call, each folder created once. With closePort, each file's handle is
// posted to it for closing threads instead of being closed by the writer.
bool WriteAll(Payload& payload, const unsigned char* content, const WString& folder, double* seconds,
              HANDLE closePort = nullptr);
// What an extraction that writes the files in list order on one thread can reach on two cores,
// from the last InflateAll and WriteAll's per-block times; `streamed` is the large blocks'
// streams inflated one after another.
void OrderedBound(const Payload& payload, double* bound, double* streamed);
