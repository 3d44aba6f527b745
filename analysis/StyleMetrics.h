#pragma once
// The programming-style figures stored with a student's result: counters of the scan plus an indentation
// pass, each one integer key "vl..." of the result section.

#include "analysis/SourceAnalysis.h"
#include "store/Database.h"
#include "store/Results.h"

#include <optional>
#include <string_view>

namespace tarvel {

// Indentation violations of comment-free text: a line inside a block must begin right of the indentation of
// the line owning the block, an opening brace right of the enclosing owner, a closing brace exactly at its
// block's owner; a flagged line ending in ":" (a label or case) is forgiven. A tab counts 8 columns wherever
// it stands. The block stack grows with the nesting, so any depth is measured alike; a "}" never pops the
// file level.
int IndentationViolations(std::string_view text);

// Runs the indentation pass and sets the eleven style figures (the vl… fields) of `figures`; an analysis
// without text gives 1 line and zeros.
void ComputeStyleFigures(const SourceAnalysis& analysis, ResultRecord& figures);

// How far the stored figures fulfil the style rules, in percent: 1050 - (V + M) * 1000 / L for the
// indentation violations V, multi-statement lines M and lines L, at most 1000, divided by 10, both divisions
// truncating toward zero; a few problems per hundred lines still give 100, many give less than 0. None
// without a line count.
std::optional<int> StyleFulfilment(const ResultRecord& figures);

// Writes the figures into the analysis's result section in one rewrite; always 1. Write failures are ignored
// (the figures are then lost for this submission); an analysis without a record writes nothing.
int MeasureStyle(const SourceAnalysis& analysis);

// The analysis of a newly accepted submission: its similarity to every classmate of the variant, then its
// style figures. Nothing is returned or reported.
void AnalyzeSubmission(Database& db, const ResultRecord& record);

} // namespace tarvel
