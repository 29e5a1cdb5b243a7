#pragma once
#include <memory>

#include "archive/StreamInflate.h"
#include "foundation/Platform.h"

class ByteStream;

// Inflates one large block window by window, so that the block is never held whole: an
// entry's bytes are written as they come out, and the stream stays open for the entries that
// follow in the block, so writing a block's entries in order inflates it once. The stream's
// check comes only at its end.
class BlockStreamer {
public:
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

    BlockStream stream_;
    int block_;
    long long content_;     // content size of the open block
    std::unique_ptr<unsigned char[]> window_;   // kInflateWindow bytes, kept once allocated
};
