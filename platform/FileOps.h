#pragma once
// File operations on absolute paths with the wildcard and letter-case rules the system inherited from
// Windows: a name is looked up ignoring letter case, and listings come in ascending byte order of the names.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvel {

// Windows wildcard match ignoring letter case: "*" any run, "?" one byte; "*.*" matches every name.
bool WildcardMatch(std::string_view pattern, std::string_view name);
bool HasWildcard(std::string_view name);

// Names in dir matching the pattern, ascending byte order; "." and ".." never.
std::vector<std::string> ListMatching(const std::string& dir, std::string_view pattern);
// The actual name of an entry of dir equal to `name` ignoring letter case (an exact match preferred).
std::optional<std::string> FindCaseInsensitive(const std::string& dir, std::string_view name);
// The path with its last component resolved ignoring letter case; the path itself when nothing matches.
std::string ResolveCaseInsensitive(const std::string& path);

// Copies a file, or every entry matching a pattern in the last component (directories with their trees), into
// `target`. A single file goes into `target` when that is an existing directory, else becomes `target`.
// Missing directories of the target path are created. A pattern that matches nothing succeeds. Only a source
// named without a pattern is followed when it is a link; entries found by the pattern or inside a tree are
// not: a link, FIFO, socket or device among them is not copied and makes the copy fail, the rest is copied.
bool CopyInto(const std::string& source, const std::string& target);
// Deletes a file or directory tree, or every entry matching a pattern in the last component. A pattern that
// matches nothing succeeds; a plain path that does not exist fails.
bool DeleteMatching(const std::string& pathOrPattern);
// Creates one directory level; fails when it exists or its parent does not.
bool MakeOneDirectory(const std::string& path);
// Creates the directory and its missing parents; true when it exists afterwards.
bool MakeDirectories(const std::string& path);
bool RemoveTree(const std::string& path);

// One version of a file. Every rewrite renames a new file into place and any change in place moves the
// modification time, so an equal stamp means the same content.
struct FileStamp {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = 0;
    long long modifiedSeconds = 0;
    long long modifiedNanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> StampOf(const std::string& path);

bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);

// Whether a read may follow a symbolic link in the last component of its path.
enum class Links { Follow, Refuse };

// Reads a whole file; false (errno set, `out` untouched) when it cannot be read or is larger than maxBytes.
// With Links::Refuse anything but a regular file (a link as the last component, a FIFO, device, directory)
// fails at once, without blocking: for files in directories that student code could have written.
bool ReadWholeFile(const std::string& path, std::string& out, std::size_t maxBytes = SIZE_MAX,
                   Links links = Links::Follow);
// Writes a temporary file beside `path` and renames it over `path`, so readers see the old or the new file
// whole. With `durable`, the file and its directory are synced before it returns. The new file takes the
// permission bits (never setuid, setgid or sticky) of a regular file it replaces, else 0644.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, bool durable = true);

// The steps of an atomic replacement, for callers that replace many files with one sync for all of them:
// a temporary file beside `path` (synced when `durable`; empty result on failure), its rename over `path`
// (the temporary is removed when that fails), and syncs of a directory or of a whole file system.
std::string WriteTemporaryBeside(const std::string& path, std::string_view bytes, bool durable);
bool ReplaceWithTemporary(const std::string& temporary, const std::string& path);
bool SyncDirectory(const std::string& dir);
bool SyncFileSystem(const std::string& path);

std::string ParentDirectory(const std::string& path);
std::string BaseName(const std::string& path);
std::string JoinPath(const std::string& dir, std::string_view name);

} // namespace tarvel
