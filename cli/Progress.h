// Progress on standard error while it is a terminal: one line, redrawn in
// place at most ten times a second, cleared before any result line is
// printed. When standard error is not a terminal nothing is ever written.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tessaly::cli {

// True when the stream is an interactive terminal.
bool IsTerminal(std::FILE* stream);

class ProgressLine {
public:
    ProgressLine(std::FILE* stream, bool enabled) : stream_(stream), enabled_(enabled) {}
    ~ProgressLine() { Clear(); }

    void Scanning(const std::string& archive, std::uint64_t position, std::uint64_t total);
    void Extracting(const std::string& archive, std::uint64_t done, std::uint64_t total);
    // Removes the line, so that the next output starts on a clean line.
    void Clear();

private:
    void Show(const std::string& text);

    std::FILE* stream_;
    bool enabled_;
    std::size_t shownLength_ = 0;
    std::chrono::steady_clock::time_point lastDrawn_{};
};

}  // namespace tessaly::cli
