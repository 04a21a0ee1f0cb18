// Writes an output file on a second thread while the caller decompresses the
// next block, and keeps the CRC-32 of what was written. Large entries are
// extracted through it so that decompressing and writing overlap.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/File.h"

namespace tessaly {

class BackgroundWriter {
public:
    BackgroundWriter(CFile& file, std::size_t blockSize);
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;
    ~BackgroundWriter();

    // The block to fill next: BlockSize() bytes.
    std::uint8_t* Block() { return blocks_[current_].get(); }
    std::size_t BlockSize() const { return blockSize_; }
    // Hands the first `size` bytes of Block() to the writer and switches to
    // the other block (waiting until its earlier write is done).
    void Commit(std::size_t size);
    // Waits until everything is written; rethrows a write error.
    void Finish();

    std::uint32_t Crc() const { return crc_; }
    std::uint64_t Written() const { return written_; }

private:
    void Run();
    void WaitIdle(std::unique_lock<std::mutex>& lock);

    CFile& file_;
    std::size_t blockSize_;
    std::unique_ptr<std::uint8_t[]> blocks_[2];
    int current_ = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
    const std::uint8_t* pending_ = nullptr;  // block handed over, not yet written
    std::size_t pendingSize_ = 0;
    bool stopping_ = false;
    std::exception_ptr error_;
    std::uint32_t crc_ = 0;  // written by the writer thread while it owns a block
    std::uint64_t written_ = 0;
    std::thread thread_;
};

}  // namespace tessaly
