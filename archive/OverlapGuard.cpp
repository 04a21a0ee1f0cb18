#include "archive/OverlapGuard.h"

#include <algorithm>
#include <numeric>

#include "archive/CompressionMethods.h"
#include "archive/EntryDecryption.h"
#include "archive/SkipRules.h"
#include "archive/ZipRecords.h"

namespace tessaly {

void OverlapGuard::Reset() {
    const bool asked = passwordsAsked_;
    *this = OverlapGuard{};
    passwordsAsked_ = asked;
}

void OverlapGuard::SetPasswordsAsked(bool asked) {
    if (asked == passwordsAsked_) return;
    Reset();
    passwordsAsked_ = asked;
}

void OverlapGuard::Record(std::uint32_t index, bool whole, std::uint64_t consumedEnd) {
    if (!built_ || index >= state_.size()) return;
    state_[index] = whole ? State::Whole : State::NotWhole;
    consumedEnd_[index] = consumedEnd;
}

// How far an entry's data may reach before it is read: its declared size, or
// anywhere for a compressed stream whose sizes are unknown. Entries saving
// does not read hold nothing.
std::uint64_t OverlapGuard::PotentialEnd(const CFileHeader& entry) const {
    const bool readable = IsReadableMethod(entry.method) || (entry.method == kMethodAes && passwordsAsked_);
    if (!readable || ExtractSkipVerdict(entry, passwordsAsked_) || IsFolderEntry(entry) || IsEmptyFile(entry)) return 0;
    if (entry.IsStreamedUnknownSize()) return UINT64_MAX;
    return entry.DataOffset() + entry.compressedSize;
}

// Where the entry's data ends by its sizes; 0 when they are not known.
std::uint64_t OverlapGuard::DeclaredEnd(const CFileHeader& entry) {
    if (entry.IsStreamedUnknownSize() || entry.compressedSize == 0) return 0;
    return entry.DataOffset() + entry.compressedSize;
}

void OverlapGuard::Build(const EntryTable& entries) {
    const auto count = static_cast<std::uint32_t>(entries.size());
    byOffset_.resize(count);
    std::iota(byOffset_.begin(), byOffset_.end(), 0u);
    std::stable_sort(byOffset_.begin(), byOffset_.end(), [&](std::uint32_t a, std::uint32_t b) {
        return entries[a].localHeaderOffset < entries[b].localHeaderOffset;
    });
    rank_.resize(count);
    prefixMaxEnd_.resize(count);
    std::uint64_t furthest = 0;
    for (std::uint32_t r = 0; r < count; ++r) {
        if (const std::uint64_t end = DeclaredEnd(entries[byOffset_[r]])) declaredEnds_.push_back(end);
        rank_[byOffset_[r]] = r;
        furthest = std::max(furthest, PotentialEnd(entries[byOffset_[r]]));
        prefixMaxEnd_[r] = furthest;
    }
    std::sort(declaredEnds_.begin(), declaredEnds_.end());
    state_.assign(count, State::Unknown);
    place_.assign(count, Place::Undecided);
    consumedEnd_.assign(count, 0);
    built_ = true;
}

bool OverlapGuard::IsInsideAnother(const EntryTable& entries, std::uint32_t index,
                                   const std::function<void(std::uint32_t)>& probe) {
    if (!built_) Build(entries);
    if (index >= place_.size()) return false;
    DecideUpTo(entries, rank_[index], probe);
    return place_[index] == Place::Inside;
}

// Places are decided in file order, so every entry that could hold the one
// being decided has its own place already: an entry inside another holds
// nothing of its own.
void OverlapGuard::DecideUpTo(const EntryTable& entries, std::size_t rank,
                              const std::function<void(std::uint32_t)>& probe) {
    for (; decided_ <= rank; ++decided_) {
        const std::uint32_t index = byOffset_[decided_];
        const CFileHeader& inner = entries[index];
        const std::uint64_t header = inner.localHeaderOffset;
        Place place = Place::Outside;
        if (lastContainer_ != UINT32_MAX && Holds(entries, lastContainer_, inner, probe)) {
            place = Place::Inside;
        } else {
            for (std::size_t r = decided_; r-- > 0 && prefixMaxEnd_[r] > header;) {
                const std::uint32_t candidate = byOffset_[r];
                if (place_[candidate] == Place::Inside || !Holds(entries, candidate, inner, probe)) continue;
                lastContainer_ = candidate;
                place = Place::Inside;
                break;
            }
        }
        place_[index] = place;
    }
}

std::size_t OverlapGuard::EntriesEndingAt(std::uint64_t end) const {
    const auto range = std::equal_range(declaredEnds_.begin(), declaredEnds_.end(), end);
    return static_cast<std::size_t>(range.second - range.first);
}

bool OverlapGuard::Holds(const EntryTable& entries, std::uint32_t container, const CFileHeader& inner,
                         const std::function<void(std::uint32_t)>& probe) {
    const CFileHeader& entry = entries[container];
    const std::uint64_t offset = inner.localHeaderOffset;
    if (entry.DataOffset() > offset || PotentialEnd(entry) <= offset) return false;
    const bool sharedEnd = DeclaredEnd(inner) != 0 && DeclaredEnd(inner) == DeclaredEnd(entry);
    if (sharedEnd && entry.method == zip::kMethodStored && EntriesEndingAt(DeclaredEnd(entry)) >= 3) return true;
    if (state_[container] == State::Unknown) probe(container);
    if (sharedEnd && entry.method != zip::kMethodStored && offset < consumedEnd_[container]) return true;
    if (state_[container] != State::Whole) return false;
    // A whole entry with declared sizes consumed exactly them.
    const std::uint64_t end =
        entry.IsStreamedUnknownSize() ? consumedEnd_[container] : entry.DataOffset() + entry.compressedSize;
    return offset < end;
}

}  // namespace tessaly
