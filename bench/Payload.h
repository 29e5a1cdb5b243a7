#pragma once
// The archive linked into bench_extract as the limit sees it: its blocks, and the FILES list's
// entries with where each one's content lies. Loaded outside every timed part.
#include <cstddef>
#include <memory>

#include "foundation/WStringArray.h"

struct Block {
    const unsigned char* stream;
    int compressedSize;
    int contentSize;
    size_t contentStart;      // where its content lies in the inflated copy
    double inflateSeconds;    // of the last InflateAll
    double writeSeconds;      // of its files (and their new folders) in the last WriteAll
};

struct Payload {
    const unsigned char* archive = nullptr;
    int archiveSize = 0;
    std::unique_ptr<Block[]> blocks;
    int blockCount = 0;
    int largestBlock = 0;
    size_t contentTotal = 0;
    WStringArray names;                   // the FILES list's entry names, in order
    std::unique_ptr<int[]> nameBlock;
    std::unique_ptr<int[]> nameOffset;    // of the content in its block
    std::unique_ptr<int[]> nameLength;
    std::unique_ptr<unsigned char[]> uninstall;   // the uninstall data file's bytes
    int uninstallSize = 0;

    // Where entry i's content lies in the inflated copy.
    const unsigned char* ContentOf(const unsigned char* content, int i) const
    {
        return content + blocks[nameBlock[i]].contentStart + nameOffset[i];
    }
};

bool LoadPayload(Payload* payload);
// files, archive_bytes, content_bytes, blocks, largest_block.
void PrintPayload(const Payload& payload);
// Reads one byte of every page of the archive, so that the timed parts find it in memory.
unsigned TouchArchive(const Payload& payload);
// Every block inflated into its place in content (contentTotal bytes).
bool InflateCopy(const Payload& payload, unsigned char* content);
// How many listed files below folder hold exactly their entry's bytes.
int CountVerified(const Payload& payload, const unsigned char* content, const WString& folder);
