#include "dialogs/ClassList.h"

#include "platform/Cp1250.h"
#include "platform/FileOps.h"
#include "store/Students.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>

namespace tarvel {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// The add dialog's limits for the first name, surname and e-mail fields.
constexpr std::size_t kMaxTextLength = 30;
constexpr std::size_t kMaxUniIdDigits = 5;
constexpr std::size_t kMaxGroupDigits = 2;
// Longer values are cut in reasons, so that one wild field cannot flood the box.
constexpr std::size_t kMaxShownValue = 20;

enum Column { kUniId, kName, kSurname, kEmail, kGroup, kColumnCount };

// How the columns are called in reasons (UTF-8).
constexpr std::array<std::string_view, kColumnCount> kColumnTitles = {"UNI ID", "meno", "priezvisko",
                                                                      "e-mail", "krúžok"};

// The names a header may give each column (as FoldedName gives them), the more precise first: a header
// with both "UNI ID" and "ID" takes "UNI ID".
constexpr std::array<std::array<std::string_view, 7>, kColumnCount> kHeaderNames = {{
    {"UNIID", "UNIIDSTUDENTA", "UNID", "UID", "IDSTUDENTA", "STUDENTID", "ID"},
    {"MENO", "KRSTNEMENO", "FIRSTNAME", "GIVENNAME", "NAME"},
    {"PRIEZVISKO", "SURNAME", "LASTNAME", "FAMILYNAME"},
    {"EMAIL", "EMAILOVAADRESA", "EMAILADDRESS", "MAIL"},
    {"KRUZOK", "SKUPINA", "STUDIJNASKUPINA", "GROUP", "STUDYGROUP"},
}};

enum class Encoding { Utf8, Cp1250 };

struct RawRecord {
    int line = 0;
    std::vector<std::string> fields;
    bool strayAfterQuote = false;
};

// The length of the UTF-8 sequence at pos, or 0 when it is malformed, overlong, a surrogate or beyond
// Unicode.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        return 1;
    }
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || pos + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    const auto second = static_cast<unsigned char>(text[pos + 1]);
    const bool outOfRange = (lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
                            (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F);
    return outOfRange ? 0 : length;
}

bool IsUtf8WithMultiByte(std::string_view text) {
    bool multiByte = false;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, pos);
        if (length == 0) {
            return false;
        }
        multiByte = multiByte || length > 1;
        pos += length;
    }
    return multiByte;
}

// Strips a byte order mark from text.
Encoding DetectEncoding(std::string_view& text) {
    if (text.starts_with(kUtf8Bom)) {
        text.remove_prefix(kUtf8Bom.size());
        return Encoding::Utf8;
    }
    return IsUtf8WithMultiByte(text) ? Encoding::Utf8 : Encoding::Cp1250;
}

// The five bytes Windows-1250 leaves unassigned stand for no character.
bool HasUnassignedByte(std::string_view bytes) {
    return bytes.find_first_of("\x81\x83\x88\x90\x98") != bytes.npos;
}

bool ToCp1250(std::string_view field, Encoding encoding, std::string& out) {
    if (encoding == Encoding::Utf8) {
        if (!Utf8ToCp1250(field, out)) {
            return false;
        }
    } else {
        out.assign(field);
    }
    return !HasUnassignedByte(out);
}

bool HasControlCharacter(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; });
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The separator that occurs most often outside quotes in the first non-empty record.
char DetectSeparator(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && (IsBlank(text[pos]) || text[pos] == '\r' || text[pos] == '\n')) {
        ++pos;
    }
    std::array<int, 256> counts{};
    for (bool quoted = false; pos < text.size() && (quoted || text[pos] != '\n'); ++pos) {
        quoted = quoted != (text[pos] == '"');
        if (!quoted) {
            ++counts[static_cast<unsigned char>(text[pos])];
        }
    }
    char best = ';';
    for (const char candidate : {',', ';', '\t'}) {
        const int count = counts[static_cast<unsigned char>(candidate)];
        if (count > 0 && count >= counts[static_cast<unsigned char>(best)]) {
            best = candidate;
        }
    }
    return best;
}

// Splits the text into records, quote-aware, counting lines.
class RecordReader {
public:
    RecordReader(std::string_view text, char separator) : text_(text), separator_(separator) {}

    // The next record; false at the end of the text or when a quote is left open (openQuoteLine is then set).
    bool Next(RawRecord& record) {
        if (pos_ >= text_.size() || openQuoteLine != 0) {
            return false;
        }
        record = RawRecord{line_, {}, false};
        for (;;) {
            record.fields.emplace_back();
            if (!ReadField(record.fields.back(), record.strayAfterQuote)) {
                return false;
            }
            if (pos_ < text_.size() && text_[pos_] == separator_) {
                ++pos_;
                continue;
            }
            SkipLineEnd();
            return true;
        }
    }

    int openQuoteLine = 0;

private:
    bool AtLineEnd() const {
        return pos_ >= text_.size() || text_[pos_] == '\n' ||
               (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n');
    }
    bool AtFieldEnd() const { return AtLineEnd() || text_[pos_] == separator_; }

    void SkipLineEnd() {
        if (pos_ < text_.size() && text_[pos_] == '\r') {
            ++pos_;
        }
        if (pos_ < text_.size()) {
            ++pos_;
            ++line_;
        }
    }

    void SkipBlanks() {
        while (pos_ < text_.size() && text_[pos_] != separator_ && IsBlank(text_[pos_])) {
            ++pos_;
        }
    }

    // Reads one field up to its end; false when its quote is never closed.
    bool ReadField(std::string& field, bool& strayAfterQuote) {
        const std::size_t start = pos_;
        SkipBlanks();
        if (pos_ >= text_.size() || text_[pos_] != '"') {
            pos_ = start;
            while (!AtFieldEnd()) {
                field += text_[pos_++];
            }
            return true;
        }
        if (!ReadQuoted(field)) {
            return false;
        }
        SkipBlanks();
        strayAfterQuote = strayAfterQuote || !AtFieldEnd();
        while (!AtFieldEnd()) {
            ++pos_;
        }
        return true;
    }

    bool ReadQuoted(std::string& field) {
        const int opened = line_;
        for (++pos_; pos_ < text_.size(); ++pos_) {
            const char c = text_[pos_];
            if (c == '"' && (pos_ + 1 >= text_.size() || text_[pos_ + 1] != '"')) {
                ++pos_;
                return true;
            }
            if (c == '"') {
                ++pos_; // "" stands for one quote
            }
            line_ += c == '\n' ? 1 : 0;
            field += c;
        }
        openQuoteLine = opened;
        return false;
    }

    std::string_view text_;
    char separator_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

bool IsBlankRecord(const RawRecord& record) {
    return std::all_of(record.fields.begin(), record.fields.end(),
                       [](const std::string& field) { return Trimmed(field).empty(); });
}

// Upper-case ASCII letters and digits only: "Krúžok" gives "KRUZOK", "e-mail" gives "EMAIL".
std::string FoldedName(std::string_view field, Encoding encoding) {
    static const std::string accented = Cp1250Text("ÁÄČĎÉĚÍĹĽŇÓÔŔŘŠŤÚŮÝŽ");
    static constexpr std::string_view plain = "AACDEEILLNOORRSTUUYZ";
    std::string bytes;
    if (!ToCp1250(field, encoding, bytes)) {
        return {};
    }
    std::string folded;
    for (const char c : UpperCaseCp1250(bytes)) {
        const std::size_t accent = accented.find(c);
        const char letter = accent == accented.npos ? c : plain[accent];
        if ((letter >= 'A' && letter <= 'Z') || (letter >= '0' && letter <= '9')) {
            folded += letter;
        }
    }
    return folded;
}

struct HeaderName {
    std::size_t column;
    std::size_t rank; // lower is more precise
};

std::optional<HeaderName> NamedColumn(const std::string& folded) {
    for (std::size_t column = 0; column < kColumnCount; ++column) {
        const auto& names = kHeaderNames[column];
        const auto found = std::find(names.begin(), names.end(), folded);
        if (!folded.empty() && found != names.end()) {
            return HeaderName{column, static_cast<std::size_t>(found - names.begin())};
        }
    }
    return std::nullopt;
}

using Layout = std::array<std::size_t, kColumnCount>; // the field index of each column

constexpr Layout kDefaultLayout = {0, 1, 2, 3, 4};
constexpr std::size_t kNoField = SIZE_MAX;

// The layout a header gives; false when the record names no column at all (it is then a data row).
bool HeaderLayout(const RawRecord& record, Encoding encoding, Layout& layout) {
    layout.fill(kNoField);
    std::array<std::size_t, kColumnCount> bestRank;
    bestRank.fill(SIZE_MAX);
    bool named = false;
    for (std::size_t field = 0; field < record.fields.size(); ++field) {
        const auto name = NamedColumn(FoldedName(Trimmed(record.fields[field]), encoding));
        if (!name) {
            continue;
        }
        named = true;
        if (name->rank < bestRank[name->column]) {
            bestRank[name->column] = name->rank;
            layout[name->column] = field;
        }
    }
    return named;
}

std::string MissingHeaderColumns(const Layout& layout) {
    std::string missing;
    for (std::size_t column = 0; column < kColumnCount; ++column) {
        if (layout[column] == kNoField) {
            missing += (missing.empty() ? "" : ", ") + Cp1250Text(kColumnTitles[column]);
        }
    }
    return missing;
}

bool IsDigits(std::string_view text, std::size_t maxDigits) {
    return !text.empty() && text.size() <= maxDigits &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Shown(std::string_view value) {
    return value.size() <= kMaxShownValue ? std::string(value)
                                          : std::string(value.substr(0, kMaxShownValue)) + "...";
}

std::string ColumnTitle(std::size_t column) {
    return Cp1250Text(kColumnTitles[column]);
}

// The five fields of the record in Windows-1250, or the reason why they cannot be.
std::string ConvertFields(const RawRecord& record, const Layout& layout, Encoding encoding,
                          std::array<std::string, kColumnCount>& values) {
    for (std::size_t column = 0; column < kColumnCount; ++column) {
        const std::size_t field = layout[column];
        const std::string_view raw = field < record.fields.size() ? Trimmed(record.fields[field]) : "";
        if (!ToCp1250(raw, encoding, values[column])) {
            return Cp1250Text("v stĺpci ") + ColumnTitle(column) +
                   Cp1250Text(" je znak, ktorý nemá tvar vo Windows-1250");
        }
        if (HasControlCharacter(values[column])) {
            return Cp1250Text("v stĺpci ") + ColumnTitle(column) +
                   Cp1250Text(" je riadiaci znak alebo zalomenie riadku");
        }
    }
    return {};
}

std::string MissingFields(const std::array<std::string, kColumnCount>& values) {
    std::string missing;
    for (std::size_t column = 0; column < kColumnCount; ++column) {
        if (values[column].empty()) {
            missing += (missing.empty() ? "" : ", ") + ColumnTitle(column);
        }
    }
    return missing.empty() ? missing : Cp1250Text("chýba ") + missing;
}

// The first rule of the add dialog the values break, or empty.
std::string BrokenRule(const std::array<std::string, kColumnCount>& values) {
    if (std::string missing = MissingFields(values); !missing.empty()) {
        return missing;
    }
    if (!IsDigits(values[kUniId], kMaxUniIdDigits)) {
        return Cp1250Text("UNI ID nemá 1 až 5 číslic: ") + Shown(values[kUniId]);
    }
    if (!IsDigits(values[kGroup], kMaxGroupDigits)) {
        return Cp1250Text("krúžok nemá 1 až 2 číslice: ") + Shown(values[kGroup]);
    }
    if (values[kEmail].find('@') == std::string::npos) {
        return Cp1250Text("e-mail neobsahuje znak @: ") + Shown(values[kEmail]);
    }
    if (values[kEmail].find(' ') != std::string::npos) {
        return Cp1250Text("e-mail obsahuje medzeru: ") + Shown(values[kEmail]);
    }
    for (const Column column : {kName, kSurname, kEmail}) {
        if (values[column].size() > kMaxTextLength) {
            return ColumnTitle(column) + Cp1250Text(" má viac ako 30 znakov");
        }
    }
    return {};
}

// Fills row from the record; the reason why it is refused, or empty. row.unid is set whenever the UNI ID
// field could be converted, so that repeats are found also among refused rows.
std::string CheckRecord(const RawRecord& record, const Layout& layout, Encoding encoding, ClassListRow& row) {
    std::array<std::string, kColumnCount> values;
    std::string reason = ConvertFields(record, layout, encoding, values);
    row = ClassListRow{record.line,      values[kUniId], values[kName],
                       values[kSurname], values[kEmail], values[kGroup]};
    if (!reason.empty()) {
        return reason;
    }
    if (record.strayAfterQuote) {
        return Cp1250Text("za úvodzovkami uzatvárajúcimi pole nasledujú ďalšie znaky");
    }
    return BrokenRule(values);
}

class RowCollector {
public:
    RowCollector(std::vector<ClassListRow>& rows, std::vector<RefusedRow>& refused)
        : rows_(rows), refused_(refused) {}

    void Add(const RawRecord& record, const Layout& layout, Encoding encoding) {
        ClassListRow row;
        std::string reason = CheckRecord(record, layout, encoding, row);
        // A UNI ID twice in one list is ambiguous: the later row is refused, whichever of the two was right.
        if (IsDigits(row.unid, kMaxUniIdDigits)) {
            const auto [first, isNew] = firstLineOf_.emplace(row.unid, row.line);
            if (!isNew && reason.empty()) {
                reason = Cp1250Text("UNI ID ") + row.unid + Cp1250Text(" sa už vyskytlo na riadku ") +
                         std::to_string(first->second);
            }
        }
        if (reason.empty()) {
            rows_.push_back(std::move(row));
        } else {
            refused_.push_back({record.line, std::move(reason)});
        }
    }

private:
    std::vector<ClassListRow>& rows_;
    std::vector<RefusedRow>& refused_;
    std::map<std::string, int> firstLineOf_;
};

std::string ReadFailure(int error) {
    switch (error) {
    case ENOENT:
        return Cp1250Text("Súbor so zoznamom neexistuje.");
    case EFBIG:
        return Cp1250Text("Súbor so zoznamom je väčší ako 4 MiB.");
    case EISDIR:
        return Cp1250Text("Zvolená cesta nie je súbor.");
    default:
        return Cp1250Text("Súbor so zoznamom nemožno prečítať.");
    }
}

bool IsInDatabase(Database& db, const std::string& unid, bool& known) {
    std::shared_ptr<const StudentIndex> index;
    known = db.ReadStudentIndex(index);
    return known && index->studentIdOf.contains(UpperCaseCp1250(unid));
}

// Takes back what AddStudent or SaveStudent left of the student. Only an index entry that names the new
// student id under this UNI ID proves the entry is this import's; without one nothing is listed or found.
bool RemoveHalfAdded(Database& db, const StudentRecord& student) {
    return !CheckStudentId(db, student.unid, student.id) || DeleteStudent(db, student.unid);
}

// Adds the row as a student; the reason why it was not added, or empty.
std::string AddRow(Database& db, const ClassListRow& row, const std::string& teacherId) {
    bool indexRead = false;
    if (IsInDatabase(db, row.unid, indexRead)) {
        return Cp1250Text("študent s UNI ID ") + row.unid + Cp1250Text(" už je v databáze");
    }
    if (!indexRead) {
        return Cp1250Text("databázu študentov nemožno načítať");
    }
    StudentRecord student;
    if (AddStudent(db, row.unid, row.name, row.surname, row.email, teacherId, row.group, student) &&
        SaveStudent(db, student)) {
        return {};
    }
    return RemoveHalfAdded(db, student)
               ? Cp1250Text("študenta nemožno zapísať do databázy")
               : Cp1250Text("študenta nemožno zapísať do databázy a jeho neúplný záznam nemožno odstrániť");
}

// Reads the file into rows and the refused rows of result; false with result.failure set when nothing can
// be added.
bool ReadRows(Database& db, const std::string& path, const std::string& teacherId,
              std::vector<ClassListRow>& rows, ClassListImport& result) {
    std::string bytes;
    std::shared_ptr<const StudentIndex> index;
    if (teacherId.empty()) {
        result.failure = Cp1250Text("Nie je zvolený učiteľ.");
    } else if (!ReadWholeFile(path, bytes, kMaxClassListBytes)) {
        result.failure = ReadFailure(errno);
    } else if (!ReadClassList(bytes, rows, result.refused, result.failure)) {
        return false;
    } else if (!db.ReadStudentIndex(index)) {
        result.failure = Cp1250Text("Databázu študentov nemožno načítať.");
        result.refused.clear();
    }
    return result.failure.empty();
}

} // namespace

bool ReadClassList(std::string_view fileBytes, std::vector<ClassListRow>& rows,
                   std::vector<RefusedRow>& refused, std::string& failure) {
    rows.clear();
    refused.clear();
    failure.clear();
    const Encoding encoding = DetectEncoding(fileBytes);
    RecordReader reader(fileBytes, DetectSeparator(fileBytes));
    RowCollector collector(rows, refused);
    std::optional<Layout> layout;
    RawRecord record;
    while (reader.Next(record)) {
        if (IsBlankRecord(record)) {
            continue;
        }
        if (!layout) {
            Layout header;
            if (HeaderLayout(record, encoding, header)) {
                layout = header;
                failure = MissingHeaderColumns(header);
                if (!failure.empty()) {
                    failure = Cp1250Text("V hlavičke zoznamu chýba stĺpec: ") + failure;
                    break;
                }
                continue;
            }
            layout = kDefaultLayout;
        }
        collector.Add(record, *layout, encoding);
    }
    if (reader.openQuoteLine != 0) {
        failure = Cp1250Text("Úvodzovky otvorené na riadku ") + std::to_string(reader.openQuoteLine) +
                  Cp1250Text(" sa v súbore neuzatvárajú.");
    } else if (failure.empty() && rows.empty() && refused.empty()) {
        failure = Cp1250Text("Zoznam neobsahuje žiadneho študenta.");
    }
    if (!failure.empty()) {
        rows.clear();
        refused.clear();
        return false;
    }
    return true;
}

ClassListImport ImportClassList(Database& db, const std::string& path, const std::string& teacherId) {
    ClassListImport result;
    std::vector<ClassListRow> rows;
    if (!ReadRows(db, path, teacherId, rows, result)) {
        return result;
    }
    for (const ClassListRow& row : rows) {
        std::string reason = AddRow(db, row, teacherId);
        if (reason.empty()) {
            ++result.added;
        } else {
            result.refused.push_back({row.line, std::move(reason)});
        }
    }
    std::stable_sort(result.refused.begin(), result.refused.end(),
                     [](const RefusedRow& a, const RefusedRow& b) { return a.line < b.line; });
    return result;
}

std::string ClassListReport(const ClassListImport& result) {
    std::string text = Cp1250Text("Pridaných študentov: ") + std::to_string(result.added);
    if (!result.failure.empty()) {
        text += "\n" + result.failure;
    }
    if (!result.refused.empty()) {
        text += Cp1250Text("\nNeprijaté riadky:");
    }
    for (const RefusedRow& row : result.refused) {
        text += Cp1250Text("\nriadok ") + std::to_string(row.line) + ": " + row.reason;
    }
    return text;
}

} // namespace tarvel
