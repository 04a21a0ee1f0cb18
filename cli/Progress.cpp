#include "cli/Progress.h"

#include "cli/ResultWriter.h"

namespace tessaly::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

unsigned Percent(std::uint64_t part, std::uint64_t whole) {
    if (whole == 0) return 0;
    const long double ratio = static_cast<long double>(part) / static_cast<long double>(whole);
    return ratio >= 1 ? 100u : static_cast<unsigned>(ratio * 100);
}

}  // namespace

void ProgressLine::Scanning(const std::string& archive, std::uint64_t position, std::uint64_t total) {
    if (!enabled_) return;
    Show(PrintableText(archive) + ": scanning " + std::to_string(Percent(position, total)) + "%");
}

void ProgressLine::Extracting(const std::string& archive, std::uint64_t done, std::uint64_t total) {
    if (!enabled_) return;
    Show(PrintableText(archive) + ": extracting " + std::to_string(done) + " of " + std::to_string(total));
}

void ProgressLine::Show(const std::string& text) {
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - lastDrawn_ < kRedrawInterval) return;
    drawn_ = true;
    lastDrawn_ = now;
    std::string line = "\r" + text;
    if (text.size() < shownLength_) line += std::string(shownLength_ - text.size(), ' ');
    std::fputs(line.c_str(), stream_);
    std::fflush(stream_);
    shownLength_ = text.size();
}

void ProgressLine::Clear() {
    if (!enabled_ || shownLength_ == 0) return;
    std::fprintf(stream_, "\r%s\r", std::string(shownLength_, ' ').c_str());
    std::fflush(stream_);
    shownLength_ = 0;
}

}  // namespace tessaly::cli
