#include "mail/ZipExtract.h"

#include "platform/FileOps.h"

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tarvel {

namespace {

struct ArchiveFree {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
using ArchiveReader = std::unique_ptr<archive, ArchiveFree>;

struct FileCloser {
    int descriptor = -1;
    ~FileCloser() {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    }
};

// A reason fit for a one-line log: printable ASCII, bounded.
std::string Printable(std::string_view text) {
    std::string out;
    for (const char c : text.substr(0, 80)) {
        out += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return out;
}

bool Fail(std::string& reason, std::string text) {
    reason = std::move(text);
    return false;
}

// The components of an entry name; false (with the reason) for a name that would leave the target.
bool SafeComponents(std::string name, std::vector<std::string>& components, std::string& reason) {
    for (char& c : name) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (name.empty()) {
        return Fail(reason, "zip entry without a name");
    }
    if (name.front() == '/' || (name.size() >= 2 && name[1] == ':')) {
        return Fail(reason, "zip entry with an absolute path: " + Printable(name));
    }
    components.clear();
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        const std::string component = name.substr(start, end - start);
        if (component == "..") {
            return Fail(reason, "zip entry with '..' in its path: " + Printable(name));
        }
        if (!component.empty() && component != ".") {
            components.push_back(component);
        }
        start = end + 1;
    }
    return true;
}

// Creates the directories of the components below targetDir; each must be a real directory, never a link.
bool MakeDirectoriesBelow(const std::string& targetDir, const std::vector<std::string>& components,
                          std::size_t count, std::string& path) {
    path = targetDir;
    for (std::size_t i = 0; i < count; ++i) {
        path = JoinPath(path, components[i]);
        if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
            return false;
        }
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            return false;
        }
    }
    return true;
}

bool WriteAll(int descriptor, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(descriptor, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

struct Extraction {
    archive* reader;
    const ZipLimits& limits;
    std::uint64_t bytes = 0;
    std::string& reason;
    bool damaged = false;

    bool Damaged() {
        damaged = true;
        const char* error = archive_error_string(reader);
        return Fail(reason,
                    "zip archive damaged: " + Printable(error != nullptr ? error : "unreadable data"));
    }

    bool TooLarge() {
        return Fail(reason, "zip archive unpacks to more than " + std::to_string(limits.maxBytes) + " bytes");
    }

    bool WriteFile(archive_entry* entry, const std::string& path) {
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) >= 0 &&
            static_cast<std::uint64_t>(archive_entry_size(entry)) > limits.maxBytes - bytes) {
            return TooLarge();
        }
        FileCloser file{::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644)};
        if (file.descriptor < 0) {
            return Fail(reason, "cannot write the unpacked file " + Printable(BaseName(path)));
        }
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            const la_ssize_t read = archive_read_data(reader, buffer.data(), buffer.size());
            if (read == 0) {
                return true;
            }
            if (read < 0) {
                return Fail(reason, "zip archive damaged: " + Printable(archive_error_string(reader)
                                                                            ? archive_error_string(reader)
                                                                            : "unreadable data"));
            }
            if (static_cast<std::uint64_t>(read) > limits.maxBytes - bytes) {
                return TooLarge();
            }
            bytes += static_cast<std::uint64_t>(read);
            if (!WriteAll(file.descriptor, buffer.data(), static_cast<std::size_t>(read))) {
                return Fail(reason, "cannot write the unpacked file " + Printable(BaseName(path)));
            }
        }
    }

    bool Entry(archive_entry* entry, const std::string& targetDir) {
        const char* name = archive_entry_pathname(entry);
        if (name == nullptr) {
            name = archive_entry_pathname_utf8(entry);
        }
        std::vector<std::string> components;
        if (!SafeComponents(name != nullptr ? name : "", components, reason)) {
            return false;
        }
        const auto type = archive_entry_filetype(entry);
        if (archive_entry_hardlink(entry) != nullptr || archive_entry_symlink(entry) != nullptr ||
            type == AE_IFLNK) {
            return Fail(reason, "zip entry is a link: " + Printable(name));
        }
        if (type != AE_IFREG && type != AE_IFDIR) {
            return Fail(reason, "zip entry is a device or special file: " + Printable(name));
        }
        std::string path;
        const std::size_t directories = type == AE_IFDIR ? components.size() : components.size() - 1;
        if (components.empty() && type == AE_IFDIR) {
            return true;
        }
        if (components.empty() || !MakeDirectoriesBelow(targetDir, components, directories, path)) {
            return Fail(reason, "cannot create the directories of " + Printable(name));
        }
        return type == AE_IFDIR || WriteFile(entry, JoinPath(path, components.back()));
    }
};

// The central directory tells every entry's type, so links and devices are recognised; when it is damaged
// the entries are read from their local headers, which cannot declare a link (it unpacks as a plain file).
enum class ZipReader { CentralDirectory, LocalHeaders };
enum class Pass { Done, Refused, Damaged };

Pass ExtractOnce(std::string_view archiveBytes, ZipReader kind, const std::string& targetDir,
                 const ZipLimits& limits, std::string& reason) {
    if (!RemoveTree(targetDir) || !MakeDirectories(targetDir)) {
        Fail(reason, "cannot create the unpacking directory");
        return Pass::Refused;
    }
    ArchiveReader reader(archive_read_new());
    if (!reader) {
        Fail(reason, "out of memory");
        return Pass::Refused;
    }
    const int supported = kind == ZipReader::CentralDirectory
                              ? archive_read_support_format_zip_seekable(reader.get())
                              : archive_read_support_format_zip_streamable(reader.get());
    if (supported != ARCHIVE_OK ||
        archive_read_open_memory(reader.get(), archiveBytes.data(), archiveBytes.size()) != ARCHIVE_OK) {
        Fail(reason, "not a zip archive");
        return Pass::Damaged;
    }
    Extraction extraction{reader.get(), limits, 0, reason};
    std::size_t entries = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF) {
            if (entries == 0) {
                // A central directory that lists nothing may be a damaged one.
                Fail(reason, "zip archive without entries");
                return kind == ZipReader::CentralDirectory ? Pass::Damaged : Pass::Refused;
            }
            return Pass::Done;
        }
        // Without a central directory the entries end where no further local header begins; a header cut
        // off in the middle is reported with a message and is damage.
        if (status == ARCHIVE_FATAL && kind == ZipReader::LocalHeaders && entries > 0 &&
            archive_error_string(reader.get()) == nullptr) {
            return Pass::Done;
        }
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
            extraction.Damaged();
            return Pass::Damaged;
        }
        if (++entries > limits.maxEntries) {
            Fail(reason, "zip archive with more than " + std::to_string(limits.maxEntries) + " entries");
            return Pass::Refused;
        }
        if (!extraction.Entry(entry, targetDir)) {
            return extraction.damaged ? Pass::Damaged : Pass::Refused;
        }
    }
}

} // namespace

bool ExtractZip(std::string_view archiveBytes, const std::string& targetDir, std::string& reason,
                const ZipLimits& limits) {
    Pass pass = ExtractOnce(archiveBytes, ZipReader::CentralDirectory, targetDir, limits, reason);
    if (pass == Pass::Damaged) {
        pass = ExtractOnce(archiveBytes, ZipReader::LocalHeaders, targetDir, limits, reason);
    }
    return pass == Pass::Done;
}

} // namespace tarvel
