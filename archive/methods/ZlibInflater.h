// Raw Deflate (ZIP method 8) through zlib. The stream's end-of-block mark
// ends the entry. When the archive ends inside the stream, DrainAtEnd gives
// the bytes a code cut in the middle still decides (see FindTail).
#pragma once

#include <zlib.h>

#include <list>
#include <vector>

#include "archive/methods/BlockTrail.h"
#include "archive/methods/Decompressor.h"

namespace tessaly {

// What a raw inflate stream whose input ended inside a code still decides:
// the output of the codes that began in the input and end the same way
// whatever bits follow. IsalInflater finishes cut streams with it too.
std::vector<std::uint8_t> DeflateTail(z_stream& stream);

// That tail, found once the input has ended and handed out over as many
// calls as the caller's room takes.
class DecidedTail {
public:
    bool Found() const { return found_; }
    void Find(z_stream& stream) {
        bytes_ = DeflateTail(stream);
        found_ = true;
    }
    std::size_t Deliver(std::uint8_t* output, std::size_t outputSize);

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t delivered_ = 0;
    bool found_ = false;
};

class ZlibInflater : public Decompressor {
public:
    ZlibInflater();
    ~ZlibInflater() override;

    Step Decode(const std::uint8_t* input, std::size_t inputSize, std::uint8_t* output,
                std::size_t outputSize) override;
    std::size_t DrainAtEnd(std::uint8_t* output, std::size_t outputSize) override;
    std::optional<StreamBreak> Break() const override;

private:
    void NoteBoundary();

    static voidpf Allocate(voidpf opaque, uInt items, uInt size);
    static void Free(voidpf opaque, voidpf block);

    z_stream stream_{};
    bool inflating_ = false;
    bool broken_ = false;
    BlockTrail trail_;
    std::list<void*> zlibBlocks_;  // every block zlib currently holds
    // What the inflater can still produce when the input ends inside a code.
    DecidedTail tail_;
};

}  // namespace tessaly
