#include "analysis/StyleMetrics.h"

#include "analysis/Similarity.h"
#include "store/RecordSection.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace tarvel {

namespace {

enum class LexicalState { Code, String, StringEscape, Char, CharEscape };

constexpr char kNoChar = '\0';

class IndentationPass {
public:
    int Run(std::string_view text) {
        for (const char c : text) {
            Step(c);
        }
        return violations_;
    }

private:
    int Top() const { return blockOwners_.back(); }

    void Step(char c) {
        if (c == '\r') {
            column_ = 0;
            atLineStart_ = true;
            if (previous_ == ':' && lineFlagged_) {
                --violations_;
            }
            lineFlagged_ = false;
        }
        LexicalStep(c);
        if (atLineStart_ && c != '\t' && c != '\n' && c != '\r' && c != ' ' && c != '}') {
            lineIndent_ = column_;
            if (column_ <= Top()) {
                ++violations_;
                lineFlagged_ = true;
            }
            atLineStart_ = false;
        }
        previous_ = c;
        if (c == '\t') {
            column_ += 8;
        } else if (c != '\n' && c != '\r') {
            ++column_;
        }
    }

    void LexicalStep(char c) {
        switch (state_) {
        case LexicalState::Code:
            if (c == '"') {
                state_ = LexicalState::String;
            } else if (c == '\'') {
                state_ = LexicalState::Char;
            } else if (c == '{') {
                if (column_ <= Top()) {
                    ++violations_;
                }
                blockOwners_.push_back(lineIndent_);
                atLineStart_ = false;
            } else if (c == '}') {
                if (Top() != column_) {
                    ++violations_;
                }
                // The file level stays, whatever number of unmatched braces follows.
                if (blockOwners_.size() > 1) {
                    blockOwners_.pop_back();
                }
            }
            break;
        case LexicalState::String:
            if (c == '"' || c == '\r') {
                state_ = LexicalState::Code;
            } else if (c == '\\') {
                state_ = LexicalState::StringEscape;
            }
            break;
        case LexicalState::StringEscape:
            state_ = LexicalState::String;
            break;
        case LexicalState::Char:
            if (c == '\'' || c == '\r') {
                state_ = LexicalState::Code;
            } else if (c == '\\') {
                state_ = LexicalState::CharEscape;
            }
            break;
        case LexicalState::CharEscape:
            state_ = LexicalState::Char;
            break;
        }
    }

    LexicalState state_ = LexicalState::Code;
    int column_ = 0;
    bool atLineStart_ = true;
    int lineIndent_ = 0;
    bool lineFlagged_ = false;
    char previous_ = kNoChar;
    int violations_ = 0;
    // The indentation of the line owning each open block; the file level at the bottom accepts every column.
    std::vector<int> blockOwners_{-1};
};

} // namespace

int IndentationViolations(std::string_view text) {
    return IndentationPass().Run(text);
}

void ComputeStyleFigures(const SourceAnalysis& analysis, ResultRecord& figures) {
    const StyleCounters& style = analysis.Style();
    figures.vlBreak = style.breakOutsideCase;
    figures.vlContinue = style.continueUsed;
    figures.vlDynamickePremenne = style.dynamicUsed;
    figures.vlGoto = style.gotoUsed;
    figures.vlMaxDlzkaFunkcie = style.maxBlockLines;
    figures.vlPercentoKomentarov = analysis.CommentPercent();
    figures.vlPocetPoruseniZarovnania = IndentationViolations(analysis.Text());
    figures.vlPriemernaDlzkaFunkcie = style.blockLinesTotal;
    figures.vlViacPrikazovNaRiadok = style.multiStatementLines;
    figures.vlDlzka = analysis.Length();
    figures.vlPocetRiadkov = 1 + analysis.ByteCount()['\r'];
}

std::optional<int> StyleFulfilment(const ResultRecord& figures) {
    if (figures.vlPocetRiadkov == 0) {
        return std::nullopt;
    }
    // Stored figures are any integers; in 64 bits neither the product nor the quotient can overflow.
    const long long problems =
        static_cast<long long>(figures.vlPocetPoruseniZarovnania) + figures.vlViacPrikazovNaRiadok;
    const long long units = std::min(1050 - problems * 1000 / figures.vlPocetRiadkov, 1000LL);
    return static_cast<int>(std::max(units / 10, static_cast<long long>(std::numeric_limits<int>::min())));
}

int MeasureStyle(const SourceAnalysis& analysis) {
    if (analysis.Record() == nullptr) {
        return 1;
    }
    ResultRecord figures = *analysis.Record();
    ComputeStyleFigures(analysis, figures);
    SaveStyleFigures(*analysis.Db(), figures);
    return 1;
}

void AnalyzeSubmission(Database& db, const ResultRecord& record) {
    const SourceAnalysis analysis(db, record);
    RecordSimilarities(analysis);
    MeasureStyle(analysis);
}

} // namespace tarvel
