#include "archive/BackgroundWriter.h"
#include "archive/Crc32.h"

namespace tessaly {

BackgroundWriter::BackgroundWriter(CFile& file, std::size_t blockSize) : file_(file), blockSize_(blockSize) {
    blocks_[0].reset(new std::uint8_t[blockSize]);
    blocks_[1].reset(new std::uint8_t[blockSize]);
    thread_ = std::thread(&BackgroundWriter::Run, this);
}

BackgroundWriter::~BackgroundWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void BackgroundWriter::WaitIdle(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return pending_ == nullptr; });
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void BackgroundWriter::Commit(std::size_t size) {
    if (size == 0) return;
    std::unique_lock<std::mutex> lock(mutex_);
    WaitIdle(lock);
    pending_ = blocks_[current_].get();
    pendingSize_ = size;
    current_ = 1 - current_;
    lock.unlock();
    changed_.notify_all();
}

void BackgroundWriter::Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    WaitIdle(lock);
}

void BackgroundWriter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return pending_ != nullptr || stopping_; });
        if (pending_ == nullptr) return;
        const std::uint8_t* block = pending_;
        const std::size_t size = pendingSize_;
        lock.unlock();
        std::exception_ptr error;
        try {
            file_.Write(block, size);
            crc_ = UpdateCrc32(crc_, block, size);
            written_ += size;
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        if (error) error_ = error;
        pending_ = nullptr;
        changed_.notify_all();
    }
}

}  // namespace tessaly
