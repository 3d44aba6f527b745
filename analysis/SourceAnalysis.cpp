#include "analysis/SourceAnalysis.h"

#include "analysis/Preprocessor.h"
#include "analysis/TokenScanner.h"
#include "platform/FileOps.h"

#include <algorithm>

namespace tarvel {

TokenTable::TokenTable(std::size_t capacity) : capacity_(capacity) {
    entries_.reserve(capacity);
    index_.reserve(capacity);
}

bool TokenTable::Count(std::string_view text) {
    const auto found = index_.find(text);
    if (found != index_.end()) {
        ++entries_[found->second].count;
        return false;
    }
    if (entries_.size() >= capacity_) {
        return false;
    }
    index_.emplace(std::string(text), static_cast<int>(entries_.size()));
    entries_.push_back(TableEntry{std::string(text), 1});
    return true;
}

int TokenTable::Find(std::string_view text) const {
    const auto found = index_.find(text);
    return found == index_.end() ? -1 : found->second;
}

class SourceAnalysis::Sink : public TokenSink {
public:
    explicit Sink(SourceAnalysis& analysis) : analysis_(analysis) {}
    void LineEvent() override { analysis_.LineEvent(); }
    void Token(std::string_view token) override { analysis_.ClassifyToken(token); }

private:
    SourceAnalysis& analysis_;
};

SourceAnalysis::SourceAnalysis(Database& db, const ResultRecord& record) : db_(&db), record_(&record) {
    std::string bytes;
    path_ = PreprocessedFile(db, record);
    if (!LoadSource(bytes)) {
        return;
    }
    Analyse(std::move(bytes));
    WriteIdentifierList();
}

SourceAnalysis SourceAnalysis::OfText(std::string bytes) {
    SourceAnalysis analysis;
    analysis.Analyse(std::move(bytes));
    return analysis;
}

bool SourceAnalysis::LoadSource(std::string& bytes) const {
    // A merged file that is not a plain file (or is out of the window) leaves the submission without content.
    // It lies in the submission directory, where the student's program could have left a link or a FIFO.
    if (path_.empty() || !IsRegularFile(path_) ||
        !ReadWholeFile(path_, bytes, kMaximumSourceBytes, Links::Refuse)) {
        return false;
    }
    return bytes.size() >= kMinimumSourceBytes;
}

void SourceAnalysis::Analyse(std::string bytes) {
    text_ = std::move(bytes);
    const auto lengthWithComments = static_cast<int>(text_.size());
    const auto lengthWithoutComments = static_cast<int>(StripComments(text_));
    if (lengthWithComments > 0) {
        commentPercent_ = (lengthWithComments - lengthWithoutComments) * 100 / lengthWithComments;
    }
    CountBytes();
    Tokenize();
    AverageBlockLength();
}

void SourceAnalysis::CountBytes() {
    byteCount_.fill(0);
    for (const char c : text_) {
        ++byteCount_[static_cast<unsigned char>(c)];
    }
}

void SourceAnalysis::Tokenize() {
    Sink sink(*this);
    ScanTokens(text_, sink);
}

void SourceAnalysis::ClassifyToken(std::string_view token) {
    const char first = token.front();
    if (first >= '0' && first <= '9') {
        numbers_.Count(token);
    } else if (first == '"') {
        strings_.Count(token.size() < 2 ? std::string_view() : token.substr(1, token.size() - 2));
    } else if ((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z') || first == '_') {
        ApplyKeywordFlags(token);
        const int position = KeywordPosition(token);
        if (position >= 0) {
            ++keywordCounts_[position];
        } else if (identifiers_.Count(token)) {
            identifierList_.append(token);
            identifierList_.push_back('\n');
        }
    } else {
        ApplyStructureCounters(token);
        operators_.Count(token);
    }
}

void SourceAnalysis::LineEvent() {
    ++style_.blockLines;
    if (style_.statementsOnLine > 1) {
        ++style_.multiStatementLines;
    }
    style_.statementsOnLine = 0;
}

void SourceAnalysis::ApplyKeywordFlags(std::string_view word) {
    if (word == "case") {
        style_.caseDepth = style_.braceDepth;
    }
    if (word == "goto") {
        style_.gotoUsed = 1;
    }
    if (word == "break" && style_.caseDepth == 0) {
        style_.breakOutsideCase = 1;
    }
    if (word == "continue") {
        style_.continueUsed = 1;
    }
    if (word == "malloc" || word == "new") {
        style_.dynamicUsed = 1;
    }
}

void SourceAnalysis::ApplyStructureCounters(std::string_view token) {
    if (token == ";" && style_.parenDepth == 0) {
        ++style_.statementsOnLine;
    }
    if (token == "(") {
        ++style_.parenDepth;
    }
    if (token == ")") {
        --style_.parenDepth;
    }
    if (token == "{") {
        if (style_.braceDepth == 0) {
            style_.blockLines = 0;
        }
        ++style_.braceDepth;
    }
    if (token == "}") {
        if (style_.braceDepth == 1) {
            style_.blockLinesTotal += style_.blockLines;
            style_.maxBlockLines = std::max(style_.maxBlockLines, style_.blockLines);
            ++style_.blockCount;
        }
        if (style_.braceDepth == style_.caseDepth) {
            style_.caseDepth = 0;
        }
        --style_.braceDepth;
    }
}

void SourceAnalysis::AverageBlockLength() {
    // Without a top-level block there is nothing to average.
    style_.blockLinesTotal = style_.blockCount == 0 ? 0 : style_.blockLinesTotal / style_.blockCount;
}

void SourceAnalysis::WriteIdentifierList() const {
    // Nothing reads the list back; it is rewritten only when this scan found other identifiers than the last
    // one, so comparing a classmate's unchanged submission again costs no write.
    const std::string path = JoinPath(db_->AbsolutePath(SubmissionDirectory(*record_)), kIdentifierListFile);
    std::string previous;
    if (IsRegularFile(path) && ReadWholeFile(path, previous, identifierList_.size(), Links::Refuse) &&
        previous == identifierList_) {
        return;
    }
    WriteFileAtomically(path, identifierList_, false);
}

} // namespace tarvel
