#pragma once
// Private-profile (INI) files as the record store and the configuration keep them: Windows-1250 bytes, CR LF
// line ends, sections "[name]" and entries "key=value". Sections and keys are found without regard to letter
// case. Every line the caller does not change is kept byte for byte when a file is rewritten.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvel {

// The parsed lines of one profile file. Lookups follow the first copy of a duplicated section or key.
class ProfileDocument {
public:
    ProfileDocument() = default;
    explicit ProfileDocument(std::string bytes);

    // The value of the key, trimmed of blanks and of one pair of enclosing quotes; nullopt when absent.
    // Blanks are space, tab, vertical tab and a stray CR. A blank key names no entry.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;

    // Replaces the key's line in place, keeping the key as the file spells it, or adds it after the last
    // non-blank line of its section, or appends a new section at the end. Refuses (false, document unchanged)
    // a key or value that could break the line structure.
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes every copy of the key in every copy of the section, matching keys as Get does: whatever Get
    // finds is removed, and a key Get cannot find (a blank one, one holding "=") removes nothing.
    void DeleteKey(std::string_view section, std::string_view key);
    // Removes every copy of the section with all its lines.
    void DeleteSection(std::string_view section);
    // Leaves the section present and without lines (appending it when missing). False for a refused name.
    bool ClearSection(std::string_view section);

    // Section names in file order, each once.
    std::vector<std::string> SectionNames() const;
    // Keys of the first copy of the section in file order, each once; empty when the section is missing.
    std::vector<std::string> Keys(std::string_view section) const;
    // Keys with their values (as Get reads them) of the first copy of the section, each key once.
    std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;

    // The whole file as it would be written.
    const std::string& Bytes() const { return bytes_; }

private:
    enum class Kind { Other, Section, Entry };
    // A line of bytes_: its text without the line end, the length of its line end (0, 1 or 2), and for a
    // section line its trimmed name, for an entry its trimmed key.
    struct Line {
        std::size_t begin;
        std::size_t length;
        std::size_t ending;
        Kind kind;
        std::size_t nameBegin;
        std::size_t nameLength;
    };
    std::string bytes_;
    std::vector<Line> lines_;
    std::vector<std::size_t> sectionLines_; // the section lines, ascending, so lookups skip the entries

    void IndexLines();
    std::string_view Text(std::size_t line) const;
    std::string_view Name(std::size_t line) const;
    std::optional<std::size_t> FindSection(std::string_view section, std::size_t from = 0) const;
    std::size_t SectionEnd(std::size_t header) const;
    std::optional<std::size_t> FindEntry(std::size_t header, std::string_view key) const;
    // Calls visit with the line of every entry of the first copy of the section, each key once.
    void VisitEntries(std::string_view section, const std::function<void(std::size_t)>& visit) const;
    // Replaces lines [first, last) with the given bytes and indexes the document again.
    void Splice(std::size_t first, std::size_t last, std::string_view replacement);
    // Gives a last line without a line end one, so that lines can be appended.
    void EndLastLine();
};

// The first copy of one section of a profile file, parsed without indexing the rest of the file: for reads of
// many keys of one section (a student's personal data, one result). Reads follow ProfileDocument's rules.
class ProfileSection {
public:
    ProfileSection() = default;
    ProfileSection(std::string bytes, std::string_view section);

    bool Found() const { return found_; }
    bool HasEntries() const { return !entries_.empty(); }
    std::optional<std::string> Get(std::string_view key) const;
    // Keys in file order, each once.
    std::vector<std::string> Keys() const;

private:
    struct Entry {
        std::size_t keyBegin;
        std::size_t keyLength;
        std::size_t lineBegin;
        std::size_t lineLength;
    };
    std::string bytes_;
    bool found_ = false;
    std::vector<Entry> entries_;

    std::string_view Key(const Entry& entry) const;
};

bool IsValidSectionName(std::string_view section);
bool IsValidKey(std::string_view key);
bool IsValidValue(std::string_view value);

// Windows' integer reading: the decimal number at the start of the trimmed value with an optional sign,
// clamped to 32 bits; anything else reads as 0.
int ParseProfileInt(std::string_view value);

// Byte blocks: two upper-case hexadecimal digits per byte, then the sum of the bytes modulo 256.
std::string EncodeByteBlock(std::span<const std::uint8_t> bytes);
// Succeeds only for exactly 2n+2 hexadecimal digits (either case) whose checksum matches; out is then filled.
bool DecodeByteBlock(std::string_view text, std::span<std::uint8_t> out);

// Reads the file; a missing file gives an empty document and true, an unreadable one false.
bool LoadProfile(const std::string& path, ProfileDocument& out);

// Reads one section of the file; a missing file gives a section that is not found, and true.
bool LoadProfileSection(const std::string& path, std::string_view section, ProfileSection& out);

// Reads without locking: a rewrite replaces the file by rename, so a reader sees the old or the new file
// whole.
std::optional<std::string> ReadProfileValue(const std::string& path, std::string_view section,
                                            std::string_view key);

// Runs `edit` on the file's current content while holding the lock named by lockPath, then replaces the file
// atomically when `edit` returned true and the content changed. A missing file is created; its directory must
// exist. Returns false when `edit` refused or the file could not be read or replaced; the file is then
// untouched.
bool EditProfile(const std::string& path, const std::string& lockPath,
                 const std::function<bool(ProfileDocument&)>& edit);

struct ProfileEdit {
    std::string path;
    std::function<bool(ProfileDocument&)> edit;
};

// Edits many files under one lock and makes them durable with two file-system syncs for the whole batch
// instead of two per file: every new content is on disk before any rename, so each file is afterwards its old
// or its new content, whole. A file whose read fails or whose edit refuses stays untouched; the others are
// still replaced. True when every file was replaced or needed no change.
bool EditProfiles(const std::vector<ProfileEdit>& edits, const std::string& lockPath);

bool WriteProfileValue(const std::string& path, const std::string& lockPath, std::string_view section,
                       std::string_view key, std::string_view value);

} // namespace tarvel
