#include "archive/OverlapGuard.h"

#include <algorithm>
#include <numeric>

#include "archive/CompressionMethods.h"
#include "archive/SkipRules.h"
#include "archive/ZipRecords.h"
#include "archive/crypto/EntryDecryption.h"

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
    if (reach_[index] != Reach::Gone) recorded_.push_back(index);
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
    potentialEnd_.resize(count);
    for (std::uint32_t r = 0; r < count; ++r) {
        const CFileHeader& entry = entries[byOffset_[r]];
        if (const std::uint64_t end = DeclaredEnd(entry)) declaredEnds_.push_back(end);
        rank_[byOffset_[r]] = r;
        potentialEnd_[byOffset_[r]] = PotentialEnd(entry);
    }
    std::sort(declaredEnds_.begin(), declaredEnds_.end());
    state_.assign(count, State::Unknown);
    place_.assign(count, Place::Undecided);
    consumedEnd_.assign(count, 0);
    reach_.assign(count, Reach::Gone);
    built_ = true;
}

bool OverlapGuard::IsInsideAnother(const EntryTable& entries, std::uint32_t index,
                                   const std::function<void(std::uint32_t)>& probe) {
    if (!built_) Build(entries);
    if (index >= place_.size()) return false;
    DecideUpTo(entries, rank_[index], probe);
    return place_[index] == Place::Inside;
}

// Which headers from `header` on the entry `index` (decided Outside) may
// hold, by the same tests Holds makes: every test that can still pass needs
// the header before its potential end; one that came out whole holds up to
// where its data ended; a damaged one holds only by a shared declared end,
// which a streamed entry has none of.
OverlapGuard::Reach OverlapGuard::ReachOf(std::uint32_t index, std::uint64_t header) const {
    if (potentialEnd_[index] <= header) return Reach::Gone;
    switch (state_[index]) {
        case State::Unknown: return Reach::Reaching;
        case State::Whole:
            return potentialEnd_[index] != UINT64_MAX || consumedEnd_[index] > header ? Reach::Reaching : Reach::Spent;
        case State::NotWhole: break;
    }
    return potentialEnd_[index] != UINT64_MAX ? Reach::SharedEnd : Reach::Spent;
}

void OverlapGuard::List(std::vector<std::uint32_t>& list, std::uint32_t rank) {
    list.insert(std::upper_bound(list.begin(), list.end(), rank), rank);
}

void OverlapGuard::Unlist(std::vector<std::uint32_t>& list, std::uint32_t index) {
    const auto at = std::lower_bound(list.begin(), list.end(), rank_[index]);
    if (at != list.end() && *at == rank_[index]) list.erase(at);
}

// Moves the entry to the list its reach puts it in.
void OverlapGuard::Classify(std::uint32_t index, std::uint64_t header) {
    const Reach before = reach_[index];
    const Reach after = ReachOf(index, header);
    if (after == before) return;
    if (before == Reach::Reaching) Unlist(reaching_, index);
    if (before == Reach::SharedEnd) Unlist(sharedEnd_, index);
    if (after == Reach::Reaching) List(reaching_, rank_[index]);
    if (after == Reach::SharedEnd) List(sharedEnd_, rank_[index]);
    reach_[index] = after;
}

// Places are decided in file order, so every entry that could hold the one
// being decided has its own place already: an entry inside another holds
// nothing of its own. The candidates are asked latest first, as they come
// in the file; those whose reach the tests rule out are passed over, as
// asking them would answer no.
void OverlapGuard::DecideUpTo(const EntryTable& entries, std::size_t rank,
                              const std::function<void(std::uint32_t)>& probe) {
    for (; decided_ <= rank; ++decided_) {
        const std::uint32_t index = byOffset_[decided_];
        const CFileHeader& inner = entries[index];
        const std::uint64_t header = inner.localHeaderOffset;
        for (std::size_t i = 0; i < recorded_.size(); ++i)
            if (reach_[recorded_[i]] != Reach::Gone) Classify(recorded_[i], header);
        recorded_.clear();
        Place place = Place::Outside;
        if (lastContainer_ != UINT32_MAX && Holds(entries, lastContainer_, inner, probe)) {
            place = Place::Inside;
        } else {
            // Only an inner header whose declared end others share can be
            // held by a damaged entry with declared sizes.
            const bool endShared = DeclaredEnd(inner) != 0 && EntriesEndingAt(DeclaredEnd(inner)) >= 2;
            std::size_t a = reaching_.size();
            std::size_t b = endShared ? sharedEnd_.size() : 0;
            passed_.clear();
            while (a > 0 || b > 0) {
                const bool fromReaching = b == 0 || (a > 0 && reaching_[a - 1] > sharedEnd_[b - 1]);
                const std::uint32_t candidate = byOffset_[fromReaching ? reaching_[--a] : sharedEnd_[--b]];
                if (potentialEnd_[candidate] <= header) {
                    passed_.push_back(candidate);
                    continue;
                }
                if (!Holds(entries, candidate, inner, probe)) continue;
                lastContainer_ = candidate;
                place = Place::Inside;
                break;
            }
            for (const std::uint32_t gone : passed_) Classify(gone, header);
        }
        place_[index] = place;
        if (place == Place::Outside) Classify(index, header);
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
