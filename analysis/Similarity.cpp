#include "analysis/Similarity.h"

#include "store/RecordSection.h"
#include "store/Tasks.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace tarvel {

namespace {

// Student ids on the accepted list of the record's variant; a list that cannot be read counts as empty.
std::vector<std::string> Candidates(Database& db, const ResultRecord& record) {
    std::vector<std::string> studentIds;
    if (!AcceptedStudents(VariantSet{&db, record.task}, record.mod, studentIds)) {
        studentIds.clear();
    }
    return studentIds;
}

struct PairTally {
    int matched = 0;    // C
    int countSum = 0;   // S
    int difference = 0; // D
    int equal = 0;      // E
    int similar = 0;    // Sm

    void Add(int x, int y) {
        const int gap = std::abs(x - y);
        const int larger = std::max(x, y);
        ++matched;
        countSum += x + y;
        difference += gap;
        if (gap <= larger / 50) {
            ++equal;
        } else if (gap <= larger / 5) {
            ++similar;
        }
    }

    void AddTable(const TokenTable& a, const TokenTable& b) {
        for (const auto& entry : a.Entries()) {
            const int found = b.Find(entry.text);
            if (found >= 0) {
                Add(entry.count, b.Entries()[found].count);
            }
        }
    }
};

} // namespace

std::string SimilarityKey(const std::string& studentId) {
    return "Pod" + studentId;
}

void ForgetSimilarities(Database& db, const ResultRecord& record) {
    const auto candidates = Candidates(db, record);
    if (candidates.size() > 1) {
        for (const auto& studentId : candidates) {
            if (studentId != record.studentId) {
                ResultSection(db, studentId, record.task).DeleteKey(SimilarityKey(record.studentId));
            }
        }
    }
    ResultSection(db, record).DeleteKey(kPreprocessedFileKey);
}

bool RecordSimilarities(const SourceAnalysis& analysis) {
    const ResultRecord* record = analysis.Record();
    if (record == nullptr) {
        return false;
    }
    Database& db = *analysis.Db();
    const auto candidates = Candidates(db, *record);
    if (candidates.size() < 2) {
        return false;
    }
    // The new submission's marks first, then one mark in each classmate's result: one batch, one sync.
    std::vector<SectionChanges> batch;
    batch.push_back({ResultSection(db, *record), {}});
    for (const auto& studentId : candidates) {
        if (studentId == record->studentId) {
            continue;
        }
        ResultRecord classmate;
        classmate.task = record->task;
        classmate.studentId = studentId;
        const SourceAnalysis other(db, classmate);
        const int value = Similarity(analysis, other);
        batch.front().changes.WriteInt(SimilarityKey(studentId), value);
        batch.push_back({ResultSection(db, classmate), {}});
        batch.back().changes.WriteInt(SimilarityKey(record->studentId), value);
    }
    ApplyToSections(db, batch);
    return true;
}

int Similarity(const SourceAnalysis& a, const SourceAnalysis& b) {
    const bool shortText = a.Length() <= kByteMeasureMaximumLength || b.Length() <= kByteMeasureMaximumLength;
    const int value = shortText ? ByteSimilarity(a, b) : TokenSimilarity(a, b);
    // The value is stored and shown as a percentage.
    return std::clamp(value, 0, 100);
}

int TokenSimilarity(const SourceAnalysis& a, const SourceAnalysis& b) {
    PairTally tally;
    int keywordsInBoth = 0; // Ckw
    for (int position = 0; position < kKeywordCount; ++position) {
        const int x = a.KeywordCounts()[position];
        const int y = b.KeywordCounts()[position];
        if (x > 0 && y > 0) {
            tally.Add(x, y);
            ++keywordsInBoth;
        }
    }
    tally.AddTable(a.Operators(), b.Operators());
    tally.AddTable(a.Numbers(), b.Numbers());
    tally.AddTable(a.Strings(), b.Strings());

    const int halfOperators = (a.Operators().Size() + b.Operators().Size()) / 2;
    const int halfNumbers = (a.Numbers().Size() + b.Numbers().Size()) / 2;
    const int halfStrings = (a.Strings().Size() + b.Strings().Size()) / 2;

    // With fewer than eight items in play the divisor is negative; dividing would turn two negatives into a
    // high score for texts that share nothing, so that part counts 0.
    const int itemsBeyondEight = halfStrings + halfNumbers + halfOperators + keywordsInBoth - 8;
    int p1 = 0;
    if (itemsBeyondEight > 0) {
        p1 = std::max(0, ((tally.equal - 8) * 100 + tally.similar * 90) / itemsBeyondEight);
    }

    const int itemCount = (a.Operators().Size() + a.Numbers().Size() + b.Operators().Size() +
                           b.Numbers().Size() + a.Strings().Size() + b.Strings().Size()) /
                              2 +
                          keywordsInBoth;
    const int halfSum = tally.countSum / 2;
    int p2 = 0;
    if (halfSum != 0 && itemCount != 0) {
        const double share = static_cast<double>(halfSum - tally.difference) / halfSum * 100.0;
        p2 = static_cast<int>(share * (static_cast<double>(tally.matched) / itemCount));
    }
    return (p1 + p2) / 2;
}

int ByteSimilarity(const SourceAnalysis& a, const SourceAnalysis& b) {
    int equal = 0;
    int close = 0;
    int different = 0;
    int used = 0;
    int differenceSum = 0;
    int largestDifference = 0;
    int totalA = 0;
    int totalB = 0;
    for (int value = 0; value < 255; ++value) {
        if (value == '\t' || value == '\n' || value == '\r' || value == ' ') {
            continue;
        }
        const int x = a.ByteCount()[value];
        const int y = b.ByteCount()[value];
        if (x == 0 && y == 0) {
            continue;
        }
        const int gap = std::abs(x - y);
        if (x == y) {
            ++equal;
        } else if (gap < 3 || gap < (x + y) / 8) {
            ++close;
        } else {
            differenceSum += gap;
            ++different;
        }
        largestDifference = std::max(largestDifference, gap);
        totalA += x;
        totalB += y;
        ++used;
    }
    // Two texts without a single comparable byte (both unreadable, say) are not evidence of copying.
    if (used == 0) {
        return 0;
    }
    if (differenceSum - largestDifference > totalA / 10 || differenceSum - largestDifference > totalB / 10) {
        return 0;
    }
    if (different == 0) {
        return 100;
    }
    return (equal * 300 + close * 280) / (used * 3);
}

std::vector<std::string> SimilarStudents(Database& db, const ResultRecord& record) {
    const auto candidates = Candidates(db, record);
    const auto n = static_cast<std::int64_t>(candidates.size());
    if (n <= 1) {
        return {};
    }
    SectionReader reader;
    ResultSection(db, record).Load(reader);
    std::vector<int> values;
    std::int64_t sum = 0;
    for (const auto& studentId : candidates) {
        if (studentId == record.studentId) {
            continue;
        }
        int value = 0;
        reader.ReadInt(SimilarityKey(studentId), value);
        values.push_back(value);
        sum += value;
    }
    // 64-bit sums: a hand-edited value near the 32-bit limit must not overflow.
    const std::int64_t mean = sum / (n - 1);
    std::int64_t deviationSum = 0;
    for (const int value : values) {
        deviationSum += std::llabs(value - mean);
    }
    const std::int64_t deviation = deviationSum / (n - 1);
    const auto threshold = std::clamp(static_cast<std::int64_t>(static_cast<double>(mean) + 1.2 * deviation),
                                      std::int64_t{20}, std::int64_t{90});

    std::vector<std::string> similar;
    std::size_t next = 0;
    for (const auto& studentId : candidates) {
        if (studentId == record.studentId) {
            continue;
        }
        if (values[next++] > threshold) {
            similar.push_back(studentId);
        }
    }
    return similar;
}

} // namespace tarvel
