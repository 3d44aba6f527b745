#include "platform/Profile.h"

#include "platform/Cp1250.h"
#include "platform/FileOps.h"
#include "platform/Hex.h"
#include "platform/RecordLock.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>

namespace tarvel {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
// A record file larger than this is damaged beyond use; reading it fails instead of exhausting memory.
constexpr std::size_t kMaxProfileBytes = 256u << 20;

// A CR that is not part of a line end (a damaged file's last line) counts as a blank, as on Windows; so does
// the vertical tab.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\r';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != text.npos;
}

// The section name of a section line, or nullopt for any other line.
std::optional<std::string_view> SectionNameOf(std::string_view line) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() != '[') {
        return std::nullopt;
    }
    std::string_view name = trimmed.substr(1);
    name = name.substr(0, name.find(']'));
    return Trim(name);
}

// The key of an entry line, or nullopt for a line without "=".
std::optional<std::string_view> KeyOf(std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals == line.npos) {
        return std::nullopt;
    }
    return Trim(line.substr(0, equals));
}

std::string_view ValueOf(std::string_view line) {
    std::string_view value = Trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.front() == value.back()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

// The key a lookup compares with entry keys; nullopt for a blank key, which names no entry (a line "=x" has
// an empty key, but no read reaches it and no delete removes it).
std::optional<std::string_view> LookupKey(std::string_view key) {
    key = Trim(key);
    if (key.empty()) {
        return std::nullopt;
    }
    return key;
}

std::string EntryLine(std::string_view key, std::string_view value) {
    std::string line;
    line.reserve(key.size() + value.size() + 3);
    line.append(key).append("=").append(value).append(kLineEnd);
    return line;
}

} // namespace

bool IsValidSectionName(std::string_view section) {
    return !HasLineBreakOrNul(section) && section.find(']') == section.npos && !Trim(section).empty();
}

bool IsValidKey(std::string_view key) {
    const std::string_view trimmed = Trim(key);
    return !trimmed.empty() && !HasLineBreakOrNul(key) && key.find('=') == key.npos && trimmed.front() != '[';
}

bool IsValidValue(std::string_view value) {
    return !HasLineBreakOrNul(value);
}

ProfileDocument::ProfileDocument(std::string bytes) : bytes_(std::move(bytes)) {
    IndexLines();
}

void ProfileDocument::IndexLines() {
    lines_.clear();
    sectionLines_.clear();
    lines_.reserve(static_cast<std::size_t>(std::count(bytes_.begin(), bytes_.end(), '\n')) + 1);
    const std::string_view all(bytes_);
    std::size_t begin = 0;
    while (begin < all.size()) {
        const std::size_t newline = all.find('\n', begin);
        Line line{begin, 0, 0, Kind::Other, begin, 0};
        if (newline == all.npos) {
            line.length = all.size() - begin;
        } else {
            const bool crlf = newline > begin && all[newline - 1] == '\r';
            line.length = newline - begin - (crlf ? 1 : 0);
            line.ending = crlf ? 2 : 1;
        }
        const std::string_view text = all.substr(begin, line.length);
        std::optional<std::string_view> name = SectionNameOf(text);
        line.kind = Kind::Section;
        if (!name) {
            name = KeyOf(text);
            line.kind = name ? Kind::Entry : Kind::Other;
        }
        if (name) {
            line.nameBegin = static_cast<std::size_t>(name->data() - all.data());
            line.nameLength = name->size();
        }
        if (line.kind == Kind::Section) {
            sectionLines_.push_back(lines_.size());
        }
        lines_.push_back(line);
        begin += line.length + line.ending;
    }
}

std::string_view ProfileDocument::Text(std::size_t line) const {
    return std::string_view(bytes_).substr(lines_[line].begin, lines_[line].length);
}

std::string_view ProfileDocument::Name(std::size_t line) const {
    return std::string_view(bytes_).substr(lines_[line].nameBegin, lines_[line].nameLength);
}

std::optional<std::size_t> ProfileDocument::FindSection(std::string_view section, std::size_t from) const {
    const std::string_view wanted = Trim(section);
    for (auto i = std::lower_bound(sectionLines_.begin(), sectionLines_.end(), from);
         i != sectionLines_.end(); ++i) {
        if (EqualsIgnoringCase(Name(*i), wanted)) {
            return *i;
        }
    }
    return std::nullopt;
}

std::size_t ProfileDocument::SectionEnd(std::size_t header) const {
    const auto next = std::upper_bound(sectionLines_.begin(), sectionLines_.end(), header);
    return next == sectionLines_.end() ? lines_.size() : *next;
}

std::optional<std::size_t> ProfileDocument::FindEntry(std::size_t header, std::string_view key) const {
    const auto wanted = LookupKey(key);
    if (!wanted) {
        return std::nullopt;
    }
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (lines_[i].kind == Kind::Entry && EqualsIgnoringCase(Name(i), *wanted)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ProfileDocument::Get(std::string_view section, std::string_view key) const {
    const auto header = FindSection(section);
    if (!header) {
        return std::nullopt;
    }
    const auto entry = FindEntry(*header, key);
    if (!entry) {
        return std::nullopt;
    }
    return std::string(ValueOf(Text(*entry)));
}

void ProfileDocument::Splice(std::size_t first, std::size_t last, std::string_view replacement) {
    const std::size_t begin = first < lines_.size() ? lines_[first].begin : bytes_.size();
    const std::size_t end = last < lines_.size() ? lines_[last].begin : bytes_.size();
    bytes_.replace(begin, end - begin, replacement);
    IndexLines();
}

void ProfileDocument::EndLastLine() {
    if (!lines_.empty() && lines_.back().ending == 0) {
        bytes_.append(kLineEnd);
        IndexLines();
    }
}

bool ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (!IsValidSectionName(section) || !IsValidKey(key) || !IsValidValue(value)) {
        return false;
    }
    key = Trim(key);
    const auto header = FindSection(section);
    if (!header) {
        EndLastLine();
        bytes_.append("[").append(Trim(section)).append("]").append(kLineEnd).append(EntryLine(key, value));
        IndexLines();
        return true;
    }
    if (const auto entry = FindEntry(*header, key)) {
        // As on Windows only the value changes: the key stays spelled as the file spells it.
        std::string replacement = EntryLine(Name(*entry), value);
        replacement.resize(replacement.size() - kLineEnd.size());
        bytes_.replace(lines_[*entry].begin, lines_[*entry].length, replacement);
        IndexLines();
        return true;
    }
    std::size_t last = *header;
    const std::size_t end = SectionEnd(*header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        if (!Trim(Text(i)).empty()) {
            last = i;
        }
    }
    if (last + 1 == lines_.size()) {
        EndLastLine();
    }
    bytes_.insert(lines_[last].begin + lines_[last].length + lines_[last].ending, EntryLine(key, value));
    IndexLines();
    return true;
}

void ProfileDocument::DeleteKey(std::string_view section, std::string_view key) {
    // Matches entries exactly as a read does, so any key a read finds can be removed (even one no write would
    // accept, in a damaged file), and a key no read finds removes nothing.
    const auto wanted = LookupKey(key);
    if (!wanted) {
        return;
    }
    const std::string_view sectionName = Trim(section);
    std::string kept;
    kept.reserve(bytes_.size());
    bool inSection = false;
    bool changed = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Kind::Section) {
            inSection = EqualsIgnoringCase(Name(i), sectionName);
        } else if (inSection && lines_[i].kind == Kind::Entry && EqualsIgnoringCase(Name(i), *wanted)) {
            changed = true;
            continue;
        }
        kept.append(bytes_, lines_[i].begin, lines_[i].length + lines_[i].ending);
    }
    if (changed) {
        bytes_ = std::move(kept);
        IndexLines();
    }
}

void ProfileDocument::DeleteSection(std::string_view section) {
    while (const auto header = FindSection(section)) {
        Splice(*header, SectionEnd(*header), {});
    }
}

bool ProfileDocument::ClearSection(std::string_view section) {
    if (!IsValidSectionName(section)) {
        return false;
    }
    const auto header = FindSection(section);
    if (!header) {
        EndLastLine();
        bytes_.append("[").append(Trim(section)).append("]").append(kLineEnd);
        IndexLines();
        return true;
    }
    while (const auto duplicate = FindSection(section, *header + 1)) {
        Splice(*duplicate, SectionEnd(*duplicate), {});
    }
    Splice(*header + 1, SectionEnd(*header), {});
    if (*header + 1 == lines_.size()) {
        EndLastLine();
    }
    return true;
}

namespace {

// Remembers names already listed, ignoring letter case: an open-addressing table of views into the document,
// so that listing a thousand keys allocates nothing per key.
class SeenNames {
public:
    explicit SeenNames(std::size_t expected) : slots_(std::bit_ceil(expected + expected / 2 + 2)) {}

    bool Insert(std::string_view name) {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = FoldedHash(name) & mask;; i = (i + 1) & mask) {
            if (slots_[i].data() == nullptr) {
                slots_[i] = name;
                return true;
            }
            if (EqualsIgnoringCase(slots_[i], name)) {
                return false;
            }
        }
    }

private:
    static std::size_t FoldedHash(std::string_view name) {
        std::size_t hash = 14695981039346656037ull;
        for (char c : name) {
            hash = (hash ^ UpperCp1250(static_cast<unsigned char>(c))) * 1099511628211ull;
        }
        return hash;
    }

    std::vector<std::string_view> slots_;
};

} // namespace

std::vector<std::string> ProfileDocument::SectionNames() const {
    std::vector<std::string> names;
    SeenNames seen(lines_.size());
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Kind::Section && seen.Insert(Name(i))) {
            names.emplace_back(Name(i));
        }
    }
    return names;
}

void ProfileDocument::VisitEntries(std::string_view section,
                                   const std::function<void(std::size_t)>& visit) const {
    const auto header = FindSection(section);
    if (!header) {
        return;
    }
    const std::size_t end = SectionEnd(*header);
    SeenNames seen(end - *header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        if (lines_[i].kind == Kind::Entry && lines_[i].nameLength > 0 && seen.Insert(Name(i))) {
            visit(i);
        }
    }
}

std::vector<std::string> ProfileDocument::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    VisitEntries(section, [&](std::size_t line) { keys.emplace_back(Name(line)); });
    return keys;
}

std::vector<std::pair<std::string, std::string>> ProfileDocument::Entries(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> entries;
    VisitEntries(section, [&](std::size_t line) { entries.emplace_back(Name(line), ValueOf(Text(line))); });
    return entries;
}

ProfileSection::ProfileSection(std::string bytes, std::string_view section) : bytes_(std::move(bytes)) {
    const std::string_view all(bytes_);
    const std::string_view wanted = Trim(section);
    std::size_t begin = 0;
    while (begin < all.size()) {
        std::size_t end = all.find('\n', begin);
        const std::size_t next = end == all.npos ? all.size() : end + 1;
        end = end == all.npos ? all.size() : end;
        if (end > begin && all[end - 1] == '\r' && end < all.size()) {
            --end;
        }
        const std::string_view text = all.substr(begin, end - begin);
        if (const auto name = SectionNameOf(text)) {
            if (found_) {
                break;
            }
            found_ = EqualsIgnoringCase(*name, wanted);
        } else if (found_) {
            const auto key = KeyOf(text);
            if (key && !key->empty()) {
                entries_.push_back(
                    {static_cast<std::size_t>(key->data() - all.data()), key->size(), begin, text.size()});
            }
        }
        begin = next;
    }
}

std::string_view ProfileSection::Key(const Entry& entry) const {
    return std::string_view(bytes_).substr(entry.keyBegin, entry.keyLength);
}

std::optional<std::string> ProfileSection::Get(std::string_view key) const {
    const auto wanted = LookupKey(key);
    if (!wanted) {
        return std::nullopt;
    }
    for (const Entry& entry : entries_) {
        if (EqualsIgnoringCase(Key(entry), *wanted)) {
            return std::string(ValueOf(std::string_view(bytes_).substr(entry.lineBegin, entry.lineLength)));
        }
    }
    return std::nullopt;
}

std::vector<std::string> ProfileSection::Keys() const {
    std::vector<std::string> keys;
    SeenNames seen(entries_.size());
    for (const Entry& entry : entries_) {
        if (seen.Insert(Key(entry))) {
            keys.emplace_back(Key(entry));
        }
    }
    return keys;
}

int ParseProfileInt(std::string_view value) {
    value = Trim(value);
    bool negative = false;
    if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
        negative = value.front() == '-';
        value.remove_prefix(1);
    }
    long long number = 0;
    for (char c : value) {
        if (c < '0' || c > '9') {
            break;
        }
        number = number * 10 + (c - '0');
        if (number > static_cast<long long>(INT_MAX) + 1) {
            number = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        return static_cast<int>(-number);
    }
    return number > INT_MAX ? INT_MAX : static_cast<int>(number);
}

std::string EncodeByteBlock(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2 + 2);
    unsigned sum = 0;
    auto append = [&](std::uint8_t byte) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    };
    for (std::uint8_t byte : bytes) {
        append(byte);
        sum += byte;
    }
    append(static_cast<std::uint8_t>(sum));
    return text;
}

bool DecodeByteBlock(std::string_view text, std::span<std::uint8_t> out) {
    if (text.size() != out.size() * 2 + 2) {
        return false;
    }
    std::vector<std::uint8_t> bytes(out.size() + 1);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexDigitValue(text[2 * i]);
        const int low = HexDigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    unsigned sum = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        sum += bytes[i];
    }
    if (static_cast<std::uint8_t>(sum) != bytes.back()) {
        return false;
    }
    std::copy(bytes.begin(), bytes.end() - 1, out.begin());
    return true;
}

bool LoadProfile(const std::string& path, ProfileDocument& out) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes, kMaxProfileBytes)) {
        if (errno != ENOENT) {
            return false;
        }
        bytes.clear();
    }
    out = ProfileDocument(std::move(bytes));
    return true;
}

bool LoadProfileSection(const std::string& path, std::string_view section, ProfileSection& out) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes, kMaxProfileBytes)) {
        if (errno != ENOENT) {
            return false;
        }
        bytes.clear();
    }
    out = ProfileSection(std::move(bytes), section);
    return true;
}

std::optional<std::string> ReadProfileValue(const std::string& path, std::string_view section,
                                            std::string_view key) {
    ProfileDocument document;
    if (!LoadProfile(path, document)) {
        return std::nullopt;
    }
    return document.Get(section, key);
}

bool EditProfile(const std::string& path, const std::string& lockPath,
                 const std::function<bool(ProfileDocument&)>& edit) {
    RecordLock lock(lockPath);
    if (!lock.Acquired()) {
        return false;
    }
    ProfileDocument document;
    if (!LoadProfile(path, document)) {
        return false;
    }
    const std::string before = document.Bytes();
    if (!edit(document)) {
        return false;
    }
    if (document.Bytes() == before) {
        return true;
    }
    return WriteFileAtomically(path, document.Bytes());
}

bool EditProfiles(const std::vector<ProfileEdit>& edits, const std::string& lockPath) {
    RecordLock lock(lockPath);
    if (!lock.Acquired()) {
        return false;
    }
    bool ok = true;
    std::vector<std::pair<std::string, std::string>> replacements; // temporary, path
    for (const auto& [path, edit] : edits) {
        ProfileDocument document;
        if (!LoadProfile(path, document)) {
            ok = false;
            continue;
        }
        const std::string before = document.Bytes();
        if (!edit(document)) {
            ok = false;
        } else if (document.Bytes() != before) {
            std::string temporary = WriteTemporaryBeside(path, document.Bytes(), false);
            ok = !temporary.empty() && ok;
            if (!temporary.empty()) {
                replacements.emplace_back(std::move(temporary), path);
            }
        }
    }
    if (replacements.empty()) {
        return ok;
    }
    ok = SyncFileSystem(lockPath) && ok;
    for (const auto& [temporary, path] : replacements) {
        ok = ReplaceWithTemporary(temporary, path) && ok;
    }
    return SyncFileSystem(lockPath) && ok;
}

bool WriteProfileValue(const std::string& path, const std::string& lockPath, std::string_view section,
                       std::string_view key, std::string_view value) {
    return EditProfile(path, lockPath,
                       [&](ProfileDocument& document) { return document.Set(section, key, value); });
}

} // namespace tarvel
