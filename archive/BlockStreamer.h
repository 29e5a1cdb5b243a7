#pragma once
#include <memory>

#include "archive/StreamInflate.h"
#include "foundation/Platform.h"

class ByteStream;

// Inflates one large block piece by piece through a window of kWindow bytes, so that the block
// is never held whole: an entry's bytes are written as they come out, and the stream stays
// open for the entries that follow in the block, so writing a block's entries in order
// inflates it once. The stream's check comes only at its end.
class BlockStreamer {
public:
    static constexpr int kWindow = 256 * 1024;

    BlockStreamer();

    // Where a block lies and how much content it claims.
    struct Block {
        int index;
        const unsigned char* compressed;
        int compressedSize;
        int contentSize;
    };
    // Writes the content bytes [start, end) of the block to out (both inside the content). The
    // open stream serves them when it is this block's and has not passed start; else it is run
    // to its check and the block's stream starts anew. The block's last bytes run the check.
    // *outFailed tells a failure of out (its own error recorded) from one of the block.
    HRESULT Write(const Block& block, int start, int end, ByteStream* out, bool* outFailed);
    // Runs the open stream to its end: "Archive.InvalidData" when the block does not inflate
    // whole to its size or fails its check. Nothing open: S_OK.
    HRESULT Finish();

private:
    BlockStreamer(const BlockStreamer&) = delete;
    BlockStreamer& operator=(const BlockStreamer&) = delete;

    bool Inflate(int count);

    ScopedInflateStream stream_;
    int block_;
    // 64-bit: a block may claim up to INT_MAX bytes, and one byte more than it claims is
    // asked for to see a stream that runs over.
    long long content_;      // content size of the open block
    long long produced_;     // content bytes inflated so far
    bool ended_;             // the stream's end (and check) has been reached
    std::unique_ptr<unsigned char[]> window_;   // kWindow bytes, kept once allocated
};
