#pragma once
// "Export CSV...": the results report's table for spreadsheets and gradebooks: UTF-8 with a byte-order mark
// (so spreadsheets take it for UTF-8), a header line, comma-separated cells quoted as RFC 4180 says, CR LF
// after every line.

#include "evaluation/ResultsTable.h"
#include "shell/Prompts.h"

#include <string>

namespace tarvel {

// The header "Krúžok", "UNI ID", "Priezvisko", "Meno", per task type "Z<T> variant", "Z<T> dní po termíne",
// "Z<T> pokusy", "Z<T> body (<points>)", then "Suma (<all points>)"; then the report's rows in its order,
// with the cells the report leaves "__" or "&nbsp;" empty.
std::string ResultsCsvText(const ResultsTable& table);

// The whole button: ChooseReportFile (".csv", ResultsReport.h), then the file written whole or not at all
// (a temporary file renamed over it); a failure is told ("Nemožno zapísať do súboru !!!", "Chyba").
void ExportResultsCsv(Database& db, Prompts& prompts, const ReportListing& listing);

} // namespace tarvel
