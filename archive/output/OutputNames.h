// Entry names turned into file names the file system in hand can hold, in
// one place for the command-line tool and the desktop program alike.
//
// Every platform: a component longer than 255 bytes is shortened, keeping
// its extension, with a short hash of the whole component added, so that
// two long names that share a beginning stay apart.
// Windows besides: a reserved device name (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, with or without an extension, any case) gets "_" after it
// ("NUL.txt" -> "NUL_.txt"); the characters < > : " | ? * and controls,
// and trailing dots and blanks, become "_".
// Two entry names that map to one file ("b.txt", "../b.txt", "C:\b.txt",
// and, where letter case does not tell files apart, "B.TXT") are both kept:
// the later one as "name (2).ext", numbered before it is shortened so that
// the numbered component fits too. The same entry name again (with "/" or
// "\" between its folders) still replaces the earlier file.
#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <unordered_map>

namespace tessaly {

struct NameRules {
    bool windowsNames = false;     // device names, reserved characters, trailing dots and blanks
    bool caseInsensitive = false;  // names differing only in letter case are one file
    static NameRules ForThisSystem();
};

// The longest component, in bytes of UTF-8, written as it is.
constexpr std::size_t kMaxComponentBytes = 255;

// One path component (UTF-8, no separators) as it can be stored.
std::string StorableComponent(const std::string& component, const NameRules& rules);

// The entry name as a relative path below the destination (see
// SafeRelativePath) with every component storable. Empty when nothing is
// left of the name.
std::filesystem::path OutputRelativePath(const std::string& entryName,
                                         const NameRules& rules = NameRules::ForThisSystem());

// `utf8` in the form two names that are one file compare equal in: "/"
// separators, letters folded when case does not count.
std::string OutputPathKey(const std::string& genericUtf8, const NameRules& rules);

// The output files of one saving run into one destination folder. Safe to
// share among the threads that extract one archive.
class COutputNames {
public:
    COutputNames() : COutputNames(NameRules::ForThisSystem()) {}
    explicit COutputNames(NameRules rules);
    COutputNames(const COutputNames&) = delete;
    COutputNames& operator=(const COutputNames&) = delete;

    // The file, below the destination, that the entry `entryName` is written
    // to: the same path for the same name, a path of its own (" (2)", " (3)",
    // ...) for a name whose file another name already took. Empty when
    // nothing is left of the name.
    std::filesystem::path Claim(const std::string& entryName);

    const NameRules& Rules() const { return rules_; }

private:
    NameRules rules_;
    std::mutex mutex_;
    std::unordered_map<std::string, std::string> ownerOfKey_;            // key -> entry name that took it
    std::unordered_map<std::string, std::filesystem::path> pathOfName_;  // entry name -> its output path
    std::unordered_map<std::string, unsigned> lastNumberOf_;  // key of a wanted path -> last number given for it
};

}  // namespace tessaly
