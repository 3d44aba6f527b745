#pragma once
// Similarity of the submissions of one variant: one percentage per pair of students, stored as "Pod<sid>" in
// both students' result sections. The measure ignores identifier names: keyword usage, operators, numbers and
// strings are compared, and for short texts the byte histogram.

#include "analysis/SourceAnalysis.h"
#include "store/Database.h"
#include "store/Results.h"

#include <string>
#include <vector>

namespace tarvel {

// Texts of at most this many comment-free bytes are compared by their byte histograms.
inline constexpr int kByteMeasureMaximumLength = 300;

// "Pod" followed by the other student's id.
std::string SimilarityKey(const std::string& studentId);

// A new submission of the record's student replaces the stored one: its similarity keys are removed from the
// classmates of the variant, and its own merged-file key so that the new sources are merged afresh.
void ForgetSimilarities(Database& db, const ResultRecord& record);

// Compares the new submission with every other accepted submission of its variant and stores each value in
// both result sections: the new student's keys in one rewrite of its file, each classmate's file once. False
// (nothing done) when the accepted list has fewer than two entries or the analysis has no record. Write
// failures are ignored.
bool RecordSimilarities(const SourceAnalysis& analysis);

// The percentage for two analyses, 0..100: by bytes when either comment-free text has at most 300 bytes,
// otherwise by tokens.
int Similarity(const SourceAnalysis& a, const SourceAnalysis& b);

// Agreement of keyword, operator, number and string counts (P1 + P2) / 2. A zero or negative divisor gives 0
// for its part; the value is not clamped here and may be negative.
int TokenSimilarity(const SourceAnalysis& a, const SourceAnalysis& b);

// Agreement of the byte histograms without blanks and line ends; 0 when they differ in more than one byte
// value beyond a tenth of either text, and 0 when there is nothing to compare.
int ByteSimilarity(const SourceAnalysis& a, const SourceAnalysis& b);

// Classmates whose stored similarity with the record's student stands out from the student's other values
// (more than 1.2 mean absolute deviations above the mean, kept within 20..90), in the accepted list's order.
// A classmate without a stored value counts as 0.
std::vector<std::string> SimilarStudents(Database& db, const ResultRecord& record);

} // namespace tarvel
