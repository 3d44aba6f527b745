#pragma once
// The lexical picture of one submission: its merged sources without comments, their byte histogram, the
// keyword counts, the tables of distinct operators, strings, numbers and identifiers, and the style counters
// updated by the scan. Built once, read by the style metrics and the similarity measure, then dropped.

#include "analysis/KeywordTable.h"
#include "store/Database.h"
#include "store/Results.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarvel {

// The merged file is analysed only when its size lies in this window (bounds included).
inline constexpr std::size_t kMinimumSourceBytes = 50;
inline constexpr std::size_t kMaximumSourceBytes = 32000;

inline constexpr std::size_t kOperatorCapacity = 256;
inline constexpr std::size_t kStringCapacity = 128;
inline constexpr std::size_t kNumberCapacity = 256;
inline constexpr std::size_t kIdentifierCapacity = 1024;

// Name of the identifier list written beside the analysed sources.
inline constexpr const char* kIdentifierListFile = "out.txt";

struct TableEntry {
    std::string text;
    int count = 0;
};

// Distinct texts in first-seen order with their counts; texts are compared exactly.
class TokenTable {
public:
    explicit TokenTable(std::size_t capacity);

    // Counts one occurrence. A new text arriving when the table is full is ignored. True when it was
    // appended.
    bool Count(std::string_view text);
    // The index of the text, or -1.
    int Find(std::string_view text) const;
    int Size() const { return static_cast<int>(entries_.size()); }
    std::size_t Capacity() const { return capacity_; }
    const std::vector<TableEntry>& Entries() const { return entries_; }

private:
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    std::size_t capacity_;
    std::vector<TableEntry> entries_;
    std::unordered_map<std::string, int, TextHash, std::equal_to<>> index_;
};

// Counters the scan keeps for the style figures; all start at 0.
struct StyleCounters {
    int braceDepth = 0;
    int parenDepth = 0;
    int caseDepth = 0;  // brace depth of the last "case"; 0 outside any case
    int blockLines = 0; // line ends since the last "{" opened at depth 0
    int blockCount = 0; // top-level blocks closed
    int statementsOnLine = 0;
    int gotoUsed = 0;
    int breakOutsideCase = 0;
    int continueUsed = 0;
    int dynamicUsed = 0;
    int maxBlockLines = 0;
    int blockLinesTotal = 0; // the average block length once the scan is over
    int multiStatementLines = 0;
};

class SourceAnalysis {
public:
    // Analyses the student's merged sources (building them when needed) and writes the identifier list into
    // the submission directory. A missing file, or one outside the size window, gives an analysis of length
    // 0. The database and the record must outlive the analysis.
    SourceAnalysis(Database& db, const ResultRecord& record);

    // Analyses bytes as they were read from a merged file, without the size window, the record and the
    // identifier list (identifiers are still tabulated).
    static SourceAnalysis OfText(std::string bytes);

    SourceAnalysis(SourceAnalysis&&) = default;
    SourceAnalysis(const SourceAnalysis&) = delete;
    SourceAnalysis& operator=(const SourceAnalysis&) = delete;

    // Full name of the merged file that was asked for; empty when none could be built.
    const std::string& Path() const { return path_; }
    // The comment-free text and its length (0 when nothing was read).
    std::string_view Text() const { return text_; }
    int Length() const { return static_cast<int>(text_.size()); }
    const std::array<int, 256>& ByteCount() const { return byteCount_; }
    const std::array<int, kKeywordCount>& KeywordCounts() const { return keywordCounts_; }
    const TokenTable& Operators() const { return operators_; }
    const TokenTable& Strings() const { return strings_; }
    const TokenTable& Numbers() const { return numbers_; }
    const TokenTable& Identifiers() const { return identifiers_; }
    int CommentPercent() const { return commentPercent_; }
    const StyleCounters& Style() const { return style_; }
    // The submission analysed; null for an analysis of text in memory.
    const ResultRecord* Record() const { return record_; }
    Database* Db() const { return db_; }

private:
    SourceAnalysis() = default;

    bool LoadSource(std::string& bytes) const;
    void Analyse(std::string bytes);
    void CountBytes();
    void Tokenize();
    void ClassifyToken(std::string_view token);
    void LineEvent();
    void ApplyKeywordFlags(std::string_view word);
    void ApplyStructureCounters(std::string_view token);
    void AverageBlockLength();
    void WriteIdentifierList() const;

    Database* db_ = nullptr;
    const ResultRecord* record_ = nullptr;
    std::string path_;
    std::string text_;
    std::array<int, 256> byteCount_{};
    std::array<int, kKeywordCount> keywordCounts_{};
    TokenTable operators_{kOperatorCapacity};
    TokenTable strings_{kStringCapacity};
    TokenTable numbers_{kNumberCapacity};
    TokenTable identifiers_{kIdentifierCapacity};
    StyleCounters style_;
    int commentPercent_ = 0;
    // Identifiers appended to their table, one "%s\n" line each, in first-seen order.
    std::string identifierList_;

    class Sink;
};

} // namespace tarvel
