// The rules by which archives join the main dialog's list, whether they come
// from the file picker, from a drop or from the command line, and the rule by
// which Repair accepts the list. No toolkit: the dialog hands in the paths
// (UTF-8) its list shows.
//
// An offered path joins when it names an existing file that is not yet
// listed and the path is not empty. "Not yet listed" is the file system's
// notion of the same file: on Windows names compare without regard to case;
// on POSIX two paths are the same archive when they name the same device and
// inode, so "A.zip" and "a.zip" are two archives there while a link and its
// target are one. Paths are kept whole, however long.
#pragma once

#include <string>
#include <vector>

namespace tessaly {

// The offered paths that join a list already holding `listed`, in the order
// offered and made full (a relative path is taken from the current folder);
// an archive offered twice joins once.
std::vector<std::string> ArchivesToAdd(const std::vector<std::string>& listed, const std::vector<std::string>& offered);

// Whether a dropped file is an archive for the list: its name ends in ".zip",
// in any letter case.
bool HasZipExtension(const std::string& path);

// Repair's check of the list: refused when it is empty, or its last path is a
// single blank or no longer exists.
bool SelectionIsRepairable(const std::vector<std::string>& listed);

}  // namespace tessaly
