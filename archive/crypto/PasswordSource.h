// Where extraction gets the password for an archive's encrypted entries: the
// command line's password file or prompt, or the desktop's password dialog.
// Asked when the first encrypted entry of an archive is about to be
// written; an answer of nothing leaves the archive's encrypted entries out,
// as they are without a source. Sources are shared by the threads that
// extract one archive, so they answer once per archive and are thread-safe.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tessaly {

class PasswordSource {
public:
    virtual ~PasswordSource() = default;

    // The password to try on `archive`'s encrypted entries, or nothing to
    // skip them. `entryName` names the entry that asked first.
    virtual std::optional<std::string> PasswordFor(const std::filesystem::path& archive,
                                                   const std::string& entryName) = 0;
};

}  // namespace tessaly
