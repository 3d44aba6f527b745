#include "platform/FileOps.h"

#include "platform/Cp1250.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvel {
namespace {

namespace fs = std::filesystem;

bool MatchFrom(std::string_view pattern, std::string_view name) {
    // Iterative match with one backtracking point per "*": linear in practice, no recursion on hostile names.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || UpperCp1250(static_cast<unsigned char>(pattern[p])) ==
                                             UpperCp1250(static_cast<unsigned char>(name[n])))) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Every name of the directory except "." and "..", unsorted.
std::vector<std::string> DirectoryNames(const std::string& dir) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, DirCloser> handle(::opendir(dir.c_str()));
    if (!handle) {
        return names;
    }
    while (const dirent* entry = ::readdir(handle.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    return names;
}

// `links` applies to the source itself; whatever a directory holds is never followed, since a tree may come
// from a student's archive or program and a link there could reach any file the daemon can read.
bool CopyEntry(const std::string& source, const std::string& target, Links links) {
    struct stat info {};
    if ((links == Links::Follow ? ::stat(source.c_str(), &info) : ::lstat(source.c_str(), &info)) != 0) {
        return false;
    }
    if (S_ISREG(info.st_mode)) {
        std::string bytes;
        return ReadWholeFile(source, bytes, SIZE_MAX, links) && WriteFileAtomically(target, bytes, false);
    }
    if (!S_ISDIR(info.st_mode)) {
        errno = EINVAL;
        return false;
    }
    if (!MakeDirectories(target)) {
        return false;
    }
    bool ok = true;
    for (const auto& name : DirectoryNames(source)) {
        ok = CopyEntry(JoinPath(source, name), JoinPath(target, name), Links::Refuse) && ok;
    }
    return ok;
}

bool DeleteEntry(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        return RemoveTree(path);
    }
    return ::unlink(path.c_str()) == 0;
}

} // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    if (MatchFrom(pattern, name)) {
        return true;
    }
    // As on Windows, a trailing ".*" also matches a name without an extension ("*.*" matches every name).
    return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" && name.find('.') == name.npos &&
           MatchFrom(pattern.substr(0, pattern.size() - 2), name);
}

bool HasWildcard(std::string_view name) {
    return name.find_first_of("*?") != name.npos;
}

std::vector<std::string> ListMatching(const std::string& dir, std::string_view pattern) {
    std::vector<std::string> names = DirectoryNames(dir);
    std::erase_if(names, [&](const std::string& name) { return !WildcardMatch(pattern, name); });
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> FindCaseInsensitive(const std::string& dir, std::string_view name) {
    struct stat info {};
    if (!name.empty() && ::lstat(JoinPath(dir, name).c_str(), &info) == 0) {
        return std::string(name);
    }
    std::optional<std::string> found;
    for (auto& candidate : DirectoryNames(dir)) {
        if (EqualsIgnoringCase(candidate, name) && (!found || candidate < *found)) {
            found = std::move(candidate);
        }
    }
    return found;
}

std::string ResolveCaseInsensitive(const std::string& path) {
    const auto found = FindCaseInsensitive(ParentDirectory(path), BaseName(path));
    return found ? JoinPath(ParentDirectory(path), *found) : path;
}

bool CopyInto(const std::string& source, const std::string& target) {
    const std::string dir = ParentDirectory(source);
    const std::string pattern = BaseName(source);
    if (HasWildcard(pattern)) {
        if (!MakeDirectories(target)) {
            return false;
        }
        bool ok = true;
        for (const auto& name : ListMatching(dir, pattern)) {
            ok = CopyEntry(JoinPath(dir, name), JoinPath(target, name), Links::Refuse) && ok;
        }
        return ok;
    }
    const auto name = FindCaseInsensitive(dir, pattern);
    if (!name) {
        return false;
    }
    // A source named on its own may be a link the teacher picked on purpose.
    if (IsDirectory(target)) {
        return CopyEntry(JoinPath(dir, *name), JoinPath(target, *name), Links::Follow);
    }
    return MakeDirectories(ParentDirectory(target)) && CopyEntry(JoinPath(dir, *name), target, Links::Follow);
}

bool DeleteMatching(const std::string& pathOrPattern) {
    const std::string dir = ParentDirectory(pathOrPattern);
    const std::string pattern = BaseName(pathOrPattern);
    if (HasWildcard(pattern)) {
        bool ok = true;
        for (const auto& name : ListMatching(dir, pattern)) {
            ok = DeleteEntry(JoinPath(dir, name)) && ok;
        }
        return ok;
    }
    const auto name = FindCaseInsensitive(dir, pattern);
    return name && DeleteEntry(JoinPath(dir, *name));
}

bool MakeOneDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool MakeDirectories(const std::string& path) {
    std::error_code error;
    fs::create_directories(path, error);
    return IsDirectory(path);
}

bool RemoveTree(const std::string& path) {
    std::error_code error;
    fs::remove_all(path, error);
    return !error;
}

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileStamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool ReadWholeFile(const std::string& path, std::string& out, std::size_t maxBytes, Links links) {
    // O_NONBLOCK lets the open of a FIFO return at once, so that the type check below can refuse it.
    const int flags = links == Links::Refuse ? O_NOFOLLOW | O_NONBLOCK : 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    std::string bytes;
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (links == Links::Refuse && !regular) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = error;
        return false;
    }
    if (regular) {
        if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
            ::close(fd);
            errno = EFBIG;
            return false;
        }
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 || bytes.size() + static_cast<std::size_t>(got) > maxBytes) {
            const int error = got < 0 ? errno : EFBIG;
            ::close(fd);
            errno = error;
            return false;
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    out = std::move(bytes);
    return true;
}

std::string WriteTemporaryBeside(const std::string& path, std::string_view bytes, bool durable) {
    std::string temporary = JoinPath(ParentDirectory(path), "." + BaseName(path) + ".XXXXXX");
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return {};
    }
    // Only a regular file's permission bits carry over: a link left in place of the file, or a file some
    // program made setuid, must not make the daemon (perhaps running as root) write a setuid file.
    struct stat old {};
    ::fchmod(fd, ::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? (old.st_mode & 0777) : 0644);
    bool ok = true;
    std::size_t written = 0;
    while (ok && written < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        ok = put > 0;
        written += ok ? static_cast<std::size_t>(put) : 0;
    }
    ok = ok && (!durable || ::fsync(fd) == 0);
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(temporary.c_str());
        return {};
    }
    return temporary;
}

bool ReplaceWithTemporary(const std::string& temporary, const std::string& path) {
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool SyncDirectory(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool SyncFileSystem(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, bool durable) {
    const std::string temporary = WriteTemporaryBeside(path, bytes, durable);
    if (temporary.empty() || !ReplaceWithTemporary(temporary, path)) {
        return false;
    }
    if (durable) {
        SyncDirectory(ParentDirectory(path));
    }
    return true;
}

std::string ParentDirectory(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& dir, std::string_view name) {
    std::string joined = dir;
    if (joined.empty() || joined.back() != '/') {
        joined += '/';
    }
    joined.append(name);
    return joined;
}

} // namespace tarvel
