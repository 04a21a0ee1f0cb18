// What a saving run came to, archive by archive: how many entries were
// written whole, damaged or truncated, how many the file system refused,
// how many the password given did not open, how many were left out, and
// whether each archive could be read; and why the destination took no
// files, when it did not. The completion step and the log's closing line
// are worded from it.
#pragma once

#include <string>
#include <vector>

namespace tessaly {

struct ArchiveSavingSummary {
    std::string source;
    int whole = 0;
    int damaged = 0;
    int truncated = 0;
    int notWritten = 0;       // the file system refused (disk full, permissions, an unusable name) or the
                              // entry's data could not be read at all
    int wrongPassword = 0;    // encrypted entries the password given for the archive did not open
    int leftOut = 0;          // entries saving does not write (junk or unusable names, encrypted
                              // entries no password was given for)
    bool unreadable = false;  // nothing of it could be read: missing, unopenable, no entry found
};

struct SavingSummary {
    std::vector<ArchiveSavingSummary> archives;
    // The system's reason the destination refused files (read-only, full,
    // gone), from the first time it did; empty when it never did.
    std::string destinationProblem;

    int NotWritten() const;
    int WrongPassword() const;
    int UnreadableArchives() const;
    // Nothing failed to be written, no password given was wrong and every
    // archive was read; damaged and truncated entries are the tool's normal
    // business.
    bool Succeeded() const;
};

// The completion step's message: "Saving Completed Successfully", or
// "Saving finished: " and what could not be written, opened or read, and
// why the destination refused files.
std::string CompletionText(const SavingSummary& summary);
// The activity log's closing section, in the same terms.
void LogCompletion(const SavingSummary& summary);

}  // namespace tessaly
