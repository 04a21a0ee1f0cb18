// Progress on standard error while it is a terminal: one line, redrawn in
// place at most ten times a second, cleared before a result line is printed
// to the same terminal. When standard error is not a terminal nothing is
// ever written.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tessaly::cli {

class ProgressLine {
public:
    // `outputOnSameTerminal`: results are printed where the line is shown.
    ProgressLine(std::FILE* stream, bool enabled, bool outputOnSameTerminal = true)
        : stream_(stream), enabled_(enabled), outputOnSameTerminal_(outputOnSameTerminal) {}
    ~ProgressLine() { Clear(); }

    void Scanning(const std::string& archive, std::uint64_t position, std::uint64_t total);
    void Extracting(const std::string& archive, std::uint64_t done, std::uint64_t total);
    // Makes room for a result line when results share the terminal.
    void BeforeOutput() {
        if (outputOnSameTerminal_) Clear();
    }
    // Removes the line, so that the next output starts on a clean line.
    void Clear();

private:
    void Show(const std::string& text);

    std::FILE* stream_;
    bool enabled_;
    bool outputOnSameTerminal_;
    bool drawn_ = false;
    std::size_t shownLength_ = 0;
    std::chrono::steady_clock::time_point lastDrawn_{};
};

}  // namespace tessaly::cli
