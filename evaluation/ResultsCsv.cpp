#include "evaluation/ResultsCsv.h"

#include "evaluation/ResultsReport.h"
#include "platform/Cp1250.h"
#include "platform/FileOps.h"

#include <vector>

namespace tarvel {
namespace {

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";

// RFC 4180: a cell with a comma, a quote or a line end is quoted, its quotes doubled.
std::string Quoted(const std::string& cell) {
    if (cell.find_first_of(",\"\r\n") == std::string::npos) {
        return cell;
    }
    std::string out = "\"";
    for (const char c : cell) {
        out += c == '"' ? "\"\"" : std::string(1, c);
    }
    return out + "\"";
}

void AddLine(const std::vector<std::string>& cells, std::string& out) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
        out += (i > 0 ? "," : "") + Quoted(cells[i]);
    }
    out += "\r\n";
}

std::vector<std::string> HeaderCells(const ResultsTable& table) {
    std::vector<std::string> cells{"Krúžok", "UNI ID", "Priezvisko", "Meno"};
    int points = 0;
    for (const TaskColumn& column : table.columns) {
        const std::string task = "Z" + Cp1250ToUtf8(column.name);
        cells.push_back(task + " variant");
        cells.push_back(task + " dní po termíne");
        cells.push_back(task + " pokusy");
        cells.push_back(task + " body (" + std::to_string(column.points) + ")");
        points += column.points;
    }
    cells.push_back("Suma (" + std::to_string(points) + ")");
    return cells;
}

std::vector<std::string> RowCells(const ResultsRow& row) {
    const StudentRecord& student = row.student;
    std::vector<std::string> cells{Cp1250ToUtf8(student.group), Cp1250ToUtf8(student.unid),
                                   Cp1250ToUtf8(student.surname), Cp1250ToUtf8(student.name)};
    for (const TaskCell& cell : row.cells) {
        cells.push_back(cell.assigned ? Cp1250ToUtf8(cell.mod) : "");
        cells.push_back(cell.assigned && cell.ver != 0 ? std::to_string(cell.late) : "");
        cells.push_back(cell.assigned ? std::to_string(cell.ver) : "");
        cells.push_back(cell.assigned && cell.pts != -1 ? std::to_string(cell.pts) : "");
    }
    cells.push_back(row.sum != 0 ? std::to_string(row.sum) : "");
    return cells;
}

} // namespace

std::string ResultsCsvText(const ResultsTable& table) {
    std::string text = kByteOrderMark;
    AddLine(HeaderCells(table), text);
    for (const ResultsRow& row : table.rows) {
        AddLine(RowCells(row), text);
    }
    return text;
}

void ExportResultsCsv(Database& db, Prompts& prompts, const ReportListing& listing) {
    const std::optional<std::string> path =
        ChooseReportFile(prompts, listing, "Tabuľka výsledkov (*.csv)|*.csv|", "csv");
    if (!path) {
        return;
    }
    if (!WriteFileAtomically(*path, ResultsCsvText(ReadResultsTable(db, listing)))) {
        prompts.Tell({Cp1250Text("Nemožno zapísať do súboru !!!"), Cp1250Text("Chyba"), PromptButtons::Ok,
                      PromptIcon::Error});
    }
}

} // namespace tarvel
