// What the check bytes of an archive's traditionally encrypted entries say
// of a password. A wrong password passes one entry's check byte once in 256
// times, and would then be written as garbage. The password is the same for
// the whole archive, so the check bytes of up to kVoters entries are read
// once per password: a right password passes all of them but those whose
// encryption header is damaged, a wrong one nearly none.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "archive/CentralDir.h"

namespace tessaly {

class CZipStorage;
class EntryPositions;

class PasswordVote {
public:
    enum class Verdict {
        Undecided,  // too few entries to tell
        Refuted,    // no more than half of them pass: the password is wrong for every entry
        Confirmed,  // most pass
    };

    PasswordVote(CZipStorage& storage, const EntryTable& entries, EntryPositions& layout)
        : storage_(storage), entries_(entries), layout_(layout) {}

    // Forgets the last vote (another archive is opened).
    void Reset() { last_.reset(); }
    Verdict Of(const std::string& password);

private:
    static constexpr std::size_t kVoters = 32;

    CZipStorage& storage_;
    const EntryTable& entries_;
    EntryPositions& layout_;
    std::optional<std::pair<std::size_t, Verdict>> last_;  // by the password's hash
};

}  // namespace tessaly
