#include "store/RecordSection.h"

#include "platform/FileOps.h"

#include <algorithm>
#include <unordered_map>

namespace tarvel {
namespace {

constexpr std::size_t kMaxStringBytes = 999;

} // namespace

void RecordChanges::WriteString(std::string key, std::string value) {
    changes_.push_back({std::move(key), std::move(value), false});
}

void RecordChanges::WriteInt(std::string key, int value) {
    WriteString(std::move(key), std::to_string(value));
}

void RecordChanges::WriteBytes(std::string key, std::span<const std::uint8_t> bytes) {
    WriteString(std::move(key), EncodeByteBlock(bytes));
}

void RecordChanges::DeleteKey(std::string key) {
    changes_.push_back({std::move(key), {}, true});
}

bool RecordChanges::ApplyTo(ProfileDocument& document, std::string_view section) const {
    for (const auto& change : changes_) {
        if (change.remove) {
            // A key no write accepts names no entry a write made: its removal is that of a missing entry.
            document.DeleteKey(section, change.key);
        } else if (!document.Set(section, change.key, change.value)) {
            return false;
        }
    }
    return true;
}

bool SectionReader::ReadString(const std::string& key, std::string& out) const {
    auto value = section.Get(key);
    if (!value) {
        return false;
    }
    value->resize(std::min(value->size(), kMaxStringBytes));
    if (*value == kStringSentinel) {
        return false;
    }
    out = std::move(*value);
    return true;
}

bool SectionReader::ReadInt(const std::string& key, int& out) const {
    const auto value = section.Get(key);
    if (!value) {
        return false;
    }
    const int number = ParseProfileInt(*value);
    if (number == kIntSentinel) {
        return false;
    }
    out = number;
    return true;
}

bool SectionReader::ReadBytes(const std::string& key, std::span<std::uint8_t> out) const {
    const auto value = section.Get(key);
    return value && DecodeByteBlock(*value, out);
}

bool RecordSection::Load(SectionReader& out) const {
    return LoadProfileSection(FilePath(), section, out.section);
}

bool RecordSection::ReadString(const std::string& key, std::string& out) const {
    SectionReader reader;
    return Load(reader) && reader.ReadString(key, out);
}

bool RecordSection::ReadInt(const std::string& key, int& out) const {
    SectionReader reader;
    return Load(reader) && reader.ReadInt(key, out);
}

bool RecordSection::ReadBytes(const std::string& key, std::span<std::uint8_t> out) const {
    SectionReader reader;
    return Load(reader) && reader.ReadBytes(key, out);
}

bool RecordSection::Apply(const RecordChanges& changes) const {
    return EditProfile(FilePath(), db->LockPath(),
                       [&](ProfileDocument& document) { return changes.ApplyTo(document, section); });
}

bool RecordSection::WriteString(const std::string& key, const std::string& value) const {
    RecordChanges changes;
    changes.WriteString(key, value);
    return Apply(changes);
}

bool RecordSection::WriteInt(const std::string& key, int value) const {
    return WriteString(key, std::to_string(value));
}

bool RecordSection::WriteBytes(const std::string& key, std::span<const std::uint8_t> bytes) const {
    return WriteString(key, EncodeByteBlock(bytes));
}

bool RecordSection::DeleteKey(const std::string& key) const {
    RecordChanges changes;
    changes.DeleteKey(key);
    return Apply(changes);
}

bool RecordSection::Exists() const {
    SectionReader reader;
    return Load(reader) && reader.section.Found();
}

bool RecordSection::HasEntries() const {
    SectionReader reader;
    return Load(reader) && reader.section.HasEntries();
}

bool RecordSection::Keys(std::vector<std::string>& out) const {
    SectionReader reader;
    if (!Load(reader)) {
        return false;
    }
    out = reader.section.Keys();
    return true;
}

bool RecordSection::Remove() const {
    return EditProfile(FilePath(), db->LockPath(), [&](ProfileDocument& document) {
        document.DeleteSection(section);
        return true;
    });
}

bool RecordSection::Clear() const {
    return EditProfile(FilePath(), db->LockPath(),
                       [&](ProfileDocument& document) { return document.ClearSection(section); });
}

bool ApplyToSections(Database& db, const std::vector<SectionChanges>& batch) {
    std::vector<ProfileEdit> edits;
    std::vector<std::vector<const SectionChanges*>> perFile;
    std::unordered_map<std::string, std::size_t> fileIndex;
    for (const auto& item : batch) {
        const auto [file, added] = fileIndex.emplace(item.section.FilePath(), edits.size());
        if (added) {
            edits.push_back({file->first, {}});
            perFile.emplace_back();
        }
        perFile[file->second].push_back(&item);
    }
    for (std::size_t i = 0; i < edits.size(); ++i) {
        edits[i].edit = [&changes = perFile[i]](ProfileDocument& document) {
            for (const SectionChanges* item : changes) {
                if (!item->changes.ApplyTo(document, item->section.section)) {
                    return false;
                }
            }
            return true;
        };
    }
    return EditProfiles(edits, db.LockPath());
}

} // namespace tarvel
