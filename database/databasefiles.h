#pragma once

#include <string>

namespace kelvora {

// The steps on the file system around the database file.

// Where a path leads: the end of the chain of symbolic links in its last part, whether or not
// a file is there yet, so that a first save through a dangling link creates the file the link
// names. Folders on the way are left to the system. A path that is no link, or a chain that
// cannot be followed, stays as it is.
std::string linkTarget(const std::string &path);

// Creates a new empty file path + ".tmp-XXXXXX" and returns its name; DatabaseError with the
// system's text.
std::string createTemporaryFile(const std::string &path);

// Flushes a file to the disk: 0, or the errno of the failure.
int syncFile(const std::string &path);
// Flushes the folder that holds the path, making a rename durable; a failure is ignored.
void syncFolderOf(const std::string &path);

// Renames `from` to `to` unless something is already at `to`: 0, EEXIST when something is
// there, or the errno of another failure.
int moveWithoutReplacing(const std::string &from, const std::string &to);

} // namespace kelvora
