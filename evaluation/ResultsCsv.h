#pragma once
// "Export CSV...": the results report's table for spreadsheets and gradebooks, as UTF-8 CSV with a header
// line.

#include "evaluation/ResultsTable.h"
#include "shell/Prompts.h"

#include <string>

namespace tarvel {

std::string ResultsCsvText(const ResultsTable& table);

// The whole button: the warning for an empty list, the save-file dialog, then the file.
void ExportResultsCsv(Database& db, Prompts& prompts, const ReportListing& listing);

} // namespace tarvel
