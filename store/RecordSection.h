#pragma once
// One section of one record file of the database: typed reads and writes. The accessors do not set lastOk;
// the record-level operations do.

#include "platform/Profile.h"
#include "store/Database.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarvel {

inline constexpr const char* kStringSentinel = "[<default>]";
inline constexpr int kIntSentinel = -32768;

// Several changes of one section applied in one rewrite of its file (for example all similarity keys of a new
// submission). Changes apply in the order they were added.
class RecordChanges {
public:
    void WriteString(std::string key, std::string value);
    void WriteInt(std::string key, int value);
    void WriteBytes(std::string key, std::span<const std::uint8_t> bytes);
    void DeleteKey(std::string key);
    bool Empty() const { return changes_.empty(); }

    // Applies every change to the section of the document; false (document partly changed) when one is
    // refused.
    bool ApplyTo(ProfileDocument& document, std::string_view section) const;

private:
    struct Change {
        std::string key;
        std::string value;
        bool remove = false;
    };
    std::vector<Change> changes_;
};

// Typed reads from one section of a file read once, for operations that read many keys.
struct SectionReader {
    ProfileSection section;

    bool ReadString(const std::string& key, std::string& out) const;
    bool ReadInt(const std::string& key, int& out) const;
    bool ReadBytes(const std::string& key, std::span<std::uint8_t> out) const;
};

struct RecordSection {
    Database* db = nullptr;
    std::string file; // relative to the database directory, with "/" separators
    std::string section;

    std::string FilePath() const { return db->AbsolutePath(file); }
    const std::string& Section() const { return section; }

    // False (out unchanged) when the key or file is missing or the value is the sentinel "[<default>]".
    // At most 999 bytes are returned.
    bool ReadString(const std::string& key, std::string& out) const;
    // False (out unchanged) when missing or when the value reads as -32768.
    bool ReadInt(const std::string& key, int& out) const;
    // False when missing, of the wrong length or with a wrong checksum.
    bool ReadBytes(const std::string& key, std::span<std::uint8_t> out) const;

    bool WriteString(const std::string& key, const std::string& value) const;
    bool WriteInt(const std::string& key, int value) const;
    bool WriteBytes(const std::string& key, std::span<const std::uint8_t> bytes) const;
    // Removing a missing key succeeds.
    bool DeleteKey(const std::string& key) const;
    // All changes in one rewrite; the file is untouched when any change is refused.
    bool Apply(const RecordChanges& changes) const;

    // Whole-section operations.
    bool Exists() const;
    bool HasEntries() const;
    bool Keys(std::vector<std::string>& out) const; // false when the file cannot be read
    bool Remove() const;
    bool Clear() const; // present and without entries afterwards

    // The file read once; false when it exists but cannot be read.
    bool Load(SectionReader& out) const;
};

struct SectionChanges {
    RecordSection section;
    RecordChanges changes;
};

// Changes of many record files of one database in one batch: one rewrite per file and one sync for the whole
// batch (for example a similarity mark in every classmate's result). Sections of the same file are applied to
// that file together. Files whose changes are refused stay untouched. True when every change was applied.
bool ApplyToSections(Database& db, const std::vector<SectionChanges>& batch);

} // namespace tarvel
