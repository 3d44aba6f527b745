#include "mail/ZipExtract.h"

#include "platform/Cp1250.h"
#include "platform/FileDescriptor.h"
#include "platform/FileOps.h"

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <fcntl.h>
#include <locale.h>
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

// The entry's name as Windows-1250 bytes, the form of every name the system stores. The reader hands it out
// as UTF-8 whatever the archive used: UTF-8 where the entry's flag says so, CP852 (the Central European DOS
// code page of older Windows archivers) otherwise.
bool EntryName(archive_entry* entry, std::string& name, std::string& reason) {
    const char* utf8 = archive_entry_pathname_utf8(entry);
    if (utf8 == nullptr) {
        const char* raw = archive_entry_pathname(entry);
        return Fail(reason, "zip entry name that is not text in its encoding: " + Printable(raw ? raw : ""));
    }
    if (!Utf8ToCp1250(utf8, name)) {
        return Fail(reason,
                    "zip entry name with a character that has no Windows-1250 form: " + Printable(utf8));
    }
    return true;
}

// The components of an entry name; false (with the reason) for a name that would leave the target or that
// goes deeper or runs longer than the limits allow.
bool SafeComponents(std::string name, const ZipLimits& limits, std::vector<std::string>& components,
                    std::string& reason) {
    for (char& c : name) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (name.empty()) {
        return Fail(reason, "zip entry without a name");
    }
    if (name.size() > limits.maxNameBytes) {
        return Fail(reason, "zip entry name longer than " + std::to_string(limits.maxNameBytes) +
                                " bytes: " + Printable(name));
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
    if (components.size() > limits.maxDepth + 1) {
        return Fail(reason, "zip entry nested deeper than " + std::to_string(limits.maxDepth) +
                                " directories: " + Printable(name));
    }
    return true;
}

// Opens the directory `name` below `parent`, creating it when it is missing; never through a link. `created`
// tells whether this call made it.
bool OpenDirectoryBelow(int parent, const std::string& name, FileDescriptor& directory, bool& created) {
    created = ::mkdirat(parent, name.c_str(), 0755) == 0;
    if (!created && errno != EEXIST) {
        return false;
    }
    directory.reset(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return directory.get() >= 0;
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
    const FileDescriptor& target;
    std::string& reason;
    std::uint64_t bytes = 0;
    // Entries read and directories their paths made besides: each costs a file system object.
    std::size_t objects = 0;
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

    bool TooMany() {
        return Fail(reason, "zip archive with more than " + std::to_string(limits.maxEntries) +
                                " entries (directories their paths imply counted)");
    }

    bool Count() { return ++objects <= limits.maxEntries || TooMany(); }

    bool WriteFile(archive_entry* entry, int directory, const std::string& name) {
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) >= 0 &&
            static_cast<std::uint64_t>(archive_entry_size(entry)) > limits.maxBytes - bytes) {
            return TooLarge();
        }
        const FileDescriptor file(
            ::openat(directory, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (file.get() < 0) {
            return Fail(reason, "cannot write the unpacked file " + Printable(name));
        }
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            const la_ssize_t read = archive_read_data(reader, buffer.data(), buffer.size());
            if (read == 0) {
                return true;
            }
            if (read < 0) {
                return Damaged();
            }
            if (static_cast<std::uint64_t>(read) > limits.maxBytes - bytes) {
                return TooLarge();
            }
            bytes += static_cast<std::uint64_t>(read);
            if (!WriteAll(file.get(), buffer.data(), static_cast<std::size_t>(read))) {
                return Fail(reason, "cannot write the unpacked file " + Printable(name));
            }
        }
    }

    // Walks down the first `count` components from the target, creating what is missing; each directory
    // made counts against the limit, except the one a directory entry names itself. `directory` ends as the
    // last one (empty for the target itself).
    bool OpenDirectories(const std::vector<std::string>& components, std::size_t count, bool namesItself,
                         FileDescriptor& directory, const std::string& name) {
        for (std::size_t i = 0; i < count; ++i) {
            FileDescriptor below;
            bool created = false;
            if (!OpenDirectoryBelow(directory.get() >= 0 ? directory.get() : target.get(), components[i],
                                    below, created)) {
                return Fail(reason, "cannot create the directories of " + Printable(name));
            }
            if (created && !(namesItself && i + 1 == count) && !Count()) {
                return false;
            }
            directory.reset(below.release());
        }
        return true;
    }

    bool Entry(archive_entry* entry) {
        if (!Count()) {
            return false;
        }
        std::string name;
        std::vector<std::string> components;
        if (!EntryName(entry, name, reason) || !SafeComponents(name, limits, components, reason)) {
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
        if (components.empty()) {
            return type == AE_IFDIR || Fail(reason, "cannot create the directories of " + Printable(name));
        }
        const bool isDirectory = type == AE_IFDIR;
        FileDescriptor directory;
        return OpenDirectories(components, isDirectory ? components.size() : components.size() - 1,
                               isDirectory, directory, name) &&
               (isDirectory ||
                WriteFile(entry, directory.get() >= 0 ? directory.get() : target.get(), components.back()));
    }
};

// Entry names reach the reader's conversions as UTF-8 only in a UTF-8 locale; the daemon's own stays "C",
// so the extracting thread takes one for as long as it reads.
class Utf8NamesLocale {
public:
    Utf8NamesLocale() : locale_(::newlocale(LC_ALL_MASK, "C.UTF-8", nullptr)) {
        if (locale_ != nullptr) {
            previous_ = ::uselocale(locale_);
        }
    }
    ~Utf8NamesLocale() {
        if (locale_ != nullptr) {
            ::uselocale(previous_);
            ::freelocale(locale_);
        }
    }
    Utf8NamesLocale(const Utf8NamesLocale&) = delete;
    Utf8NamesLocale& operator=(const Utf8NamesLocale&) = delete;

private:
    locale_t locale_;
    locale_t previous_ = nullptr;
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
    const FileDescriptor target(::open(targetDir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    ArchiveReader reader(archive_read_new());
    if (target.get() < 0 || !reader) {
        Fail(reason, target.get() < 0 ? "cannot open the unpacking directory" : "out of memory");
        return Pass::Refused;
    }
    const int supported = kind == ZipReader::CentralDirectory
                              ? archive_read_support_format_zip_seekable(reader.get())
                              : archive_read_support_format_zip_streamable(reader.get());
    // Names without the UTF-8 flag are taken as CP852. Where the system lacks that conversion they stay
    // unreadable and are refused by name.
    archive_read_set_options(reader.get(), "hdrcharset=CP852");
    if (supported != ARCHIVE_OK ||
        archive_read_open_memory(reader.get(), archiveBytes.data(), archiveBytes.size()) != ARCHIVE_OK) {
        Fail(reason, "not a zip archive");
        return Pass::Damaged;
    }
    Extraction extraction{reader.get(), limits, target, reason};
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
        ++entries;
        if (!extraction.Entry(entry)) {
            return extraction.damaged ? Pass::Damaged : Pass::Refused;
        }
    }
}

} // namespace

bool ExtractZip(std::string_view archiveBytes, const std::string& targetDir, std::string& reason,
                const ZipLimits& limits) {
    const Utf8NamesLocale names;
    Pass pass = ExtractOnce(archiveBytes, ZipReader::CentralDirectory, targetDir, limits, reason);
    if (pass == Pass::Damaged) {
        pass = ExtractOnce(archiveBytes, ZipReader::LocalHeaders, targetDir, limits, reason);
    }
    return pass == Pass::Done;
}

} // namespace tarvel
