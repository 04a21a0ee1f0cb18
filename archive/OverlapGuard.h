// Tells which entries lie inside the data another entry really consumed: the
// records of a stored archive inside an entry, or the entries of a crafted
// archive that all share one compressed kernel. Such an entry is not an
// entry of its own; writing it would multiply the same data.
//
// An entry that came out whole (its CRC-32 and sizes agree) holds every
// header inside the data it consumed. A damaged entry's idea of where its
// data ends is not trusted, so real damage never costs a neighbour. Entries
// whose declared data ends at the same byte, one header inside the other's
// data, share their data whatever their CRC-32 says when the outer one's
// compressed stream really runs past the inner header, or, for stored data,
// when three or more entries end there (one damaged size can make two ends
// meet, hardly three). What an entry consumed is learned when it is
// extracted; an entry earlier in the file that was not
// extracted yet is read once, without writing, when a later one needs it.
// Nothing is worked out until the first question, so listing pays nothing.
// Each question costs about the same however many entries came before: an
// entry that can hold no later header any more is no longer looked at.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "archive/CentralDir.h"

namespace tessaly {

class OverlapGuard {
public:
    // Forgets everything; the table is looked at again on the next question.
    void Reset();

    // Whether encrypted entries a password opens are read (a password source
    // is set): only then can their data hold others. Forgets what was worked
    // out when it changes.
    void SetPasswordsAsked(bool asked);

    // What reading entry `index` came to: whether it came out whole, and the
    // end of the data it consumed.
    void Record(std::uint32_t index, bool whole, std::uint64_t consumedEnd);

    // Whether entry `index`'s local header lies inside the data of another
    // entry that came out whole. `probe(j)` reads entry j without writing it
    // and calls Record for it.
    bool IsInsideAnother(const EntryTable& entries, std::uint32_t index,
                         const std::function<void(std::uint32_t)>& probe);

private:
    enum class State : std::uint8_t { Unknown, Whole, NotWhole };
    enum class Place : std::uint8_t { Undecided, Inside, Outside };
    // Which later headers an entry decided Outside may still hold, by what
    // is known of it: any (Reaching), only those whose declared data ends
    // where its own does (SharedEnd: damaged, with declared sizes), or none
    // for now (Spent: damaged and streamed, or whole and passed; a new
    // record of it looks again). Gone: never again (passed its potential
    // end, or not a candidate at all).
    enum class Reach : std::uint8_t { Gone, Reaching, SharedEnd, Spent };

    void Build(const EntryTable& entries);
    void DecideUpTo(const EntryTable& entries, std::size_t rank, const std::function<void(std::uint32_t)>& probe);
    bool Holds(const EntryTable& entries, std::uint32_t container, const CFileHeader& inner,
               const std::function<void(std::uint32_t)>& probe);
    std::uint64_t PotentialEnd(const CFileHeader& entry) const;
    static std::uint64_t DeclaredEnd(const CFileHeader& entry);
    std::size_t EntriesEndingAt(std::uint64_t end) const;
    Reach ReachOf(std::uint32_t index, std::uint64_t header) const;
    void Classify(std::uint32_t index, std::uint64_t header);
    void Unlist(std::vector<std::uint32_t>& list, std::uint32_t index);
    static void List(std::vector<std::uint32_t>& list, std::uint32_t rank);

    bool passwordsAsked_ = false;
    bool built_ = false;
    std::vector<std::uint32_t> byOffset_;      // indices in local-header order
    std::vector<std::uint32_t> rank_;          // position of each index in byOffset_
    std::vector<std::uint64_t> potentialEnd_;  // PotentialEnd of each index
    std::vector<Reach> reach_;
    std::vector<std::uint32_t> reaching_;   // ranks of the Reaching entries, ascending
    std::vector<std::uint32_t> sharedEnd_;  // ranks of the SharedEnd entries, ascending
    std::vector<std::uint32_t> recorded_;   // indices recorded since they were last classified
    std::vector<std::uint32_t> passed_;     // candidates found past their potential end in one step
    std::vector<State> state_;
    std::vector<Place> place_;
    std::vector<std::uint64_t> consumedEnd_;
    std::vector<std::uint64_t> declaredEnds_;  // sorted, one per entry with declared sizes
    std::size_t decided_ = 0;                  // positions of byOffset_ whose place is decided
    std::uint32_t lastContainer_ = UINT32_MAX;
};

}  // namespace tessaly
