#include "evaluation/ResultsReport.h"

#include "evaluation/Browser.h"
#include "evaluation/HtmlText.h"
#include "platform/Cp1250.h"
#include "platform/FileDescriptor.h"
#include "platform/FileOps.h"

#include <chrono>
#include <fcntl.h>
#include <unistd.h>

namespace tarvel {
namespace {

constexpr const char* kHeaderCell = "<TD><B><FONT FACE=\"Arial\" SIZE=2><P ALIGN=\"CENTER\">";
constexpr const char* kCell = "<TD><P ALIGN=\"CENTER\">";
constexpr const char* kNone = "__";
constexpr const char* kEmptyCell = "&nbsp;";

std::string Heading() {
    return Cp1250Text(
        "<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1250\">"
        "<TITLE>ZOR výsledky</TITLE></HEAD><BODY> \t\t <B><FONT FACE=\"Arial\" SIZE=5>"
        "<P ALIGN=\"CENTER\"> \t\t ZOR výsledky</FONT></B><P>Tarvel – hodnotenie \t\t študentov "
        ".......... generované dňa: ");
}

std::string Timestamp(const std::tm& now) {
    return std::to_string(now.tm_mday) + "." + std::to_string(now.tm_mon + 1) + "." +
           std::to_string(now.tm_year + 1900) + "  " + std::to_string(now.tm_hour) + ":" +
           std::to_string(now.tm_min);
}

std::string FixedColumns() {
    std::string header = "</P><TABLE BORDER CELLSPACING=2 CELLPADDING=4 WIDTH=800><TR>";
    for (const char* title :
         {"kr. ", "UNI ID", "Priezvisko", "Meno", "Varianty", "Dní po termíne", "Počet pokusov"}) {
        header += std::string(" \t\t\t\t ") + kHeaderCell + Cp1250Text(title);
    }
    return header;
}

// The three joined cells of a row: variants, days late and attempts, " : " between two task types.
void AddJoinedCells(const ResultsRow& row, std::vector<std::string>& pieces) {
    std::string variants = kCell;
    std::string late = kCell;
    std::string attempts = kCell;
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
        if (i > 0) {
            variants += " : ";
            late += " : ";
            attempts += " : ";
        }
        const TaskCell& cell = row.cells[i];
        variants += cell.assigned ? HtmlText(cell.mod) : kNone;
        late += cell.assigned && cell.ver != 0 ? std::to_string(cell.late) : kNone;
        attempts += cell.assigned ? std::to_string(cell.ver) : kNone;
    }
    pieces.push_back(std::move(variants));
    pieces.push_back(std::move(late));
    pieces.push_back(std::move(attempts));
}

void AddRow(const ResultsRow& row, std::vector<std::string>& pieces) {
    const StudentRecord& student = row.student;
    pieces.push_back(std::string("<TR>") + kCell + HtmlText(student.group) + kCell + HtmlText(student.unid) +
                     "<TD>" + HtmlText(student.surname) + "<TD>" + HtmlText(student.name));
    AddJoinedCells(row, pieces);
    for (const TaskCell& cell : row.cells) {
        pieces.push_back(kCell + (cell.assigned && cell.pts != -1 ? std::to_string(cell.pts) : kEmptyCell));
    }
    pieces.push_back(kCell + (row.sum != 0 ? std::to_string(row.sum) : kEmptyCell));
}

// One piece, one write call. A failure is told and closes the file.
bool WritePiece(FileDescriptor& file, const std::string& piece, Prompts& prompts) {
    if (::write(file.get(), piece.data(), piece.size()) == static_cast<ssize_t>(piece.size())) {
        return true;
    }
    Tell(prompts, "Nemožno zapísať do súboru !!!", "Chyba", PromptIcon::Error);
    file.reset();
    return false;
}

std::tm LocalNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

} // namespace

std::optional<std::string> ChooseReportFile(Prompts& prompts, const ReportListing& listing,
                                            const char* filter, const char* extension) {
    if (listing.unids.empty()) {
        Tell(prompts, "V zozname nie sú žiadny študenti !!!", "Pozor", PromptIcon::Warning);
        return std::nullopt;
    }
    std::optional<std::string> path =
        prompts.ChooseSaveFile({Cp1250Text("Uložiť ako"), "", Cp1250Text(filter), extension});
    if (!path || path->empty()) {
        return std::nullopt;
    }
    if (BaseName(*path).find('.') == std::string::npos) {
        *path += std::string(".") + extension;
    }
    return path;
}

std::vector<std::string> ResultsReportPieces(const ResultsTable& table, const ReportListing& listing,
                                             const std::tm& now) {
    std::vector<std::string> pieces{Heading(), Timestamp(now), Cp1250Text("</P><P>Učiteľ: ")};
    pieces.push_back(HtmlText(listing.teacher.surname) + " " + HtmlText(listing.teacher.name) +
                     Cp1250Text(" .................. Študenti: "));
    pieces.push_back(Cp1250Text(listing.allStudents ? "všetci" : "vlastný"));
    pieces.push_back(FixedColumns());
    int points = 0;
    for (const TaskColumn& column : table.columns) {
        pieces.push_back("<TD><B><FONT FACE=\"Arial\" SIZE=2> \t\t\t\t\t<P ALIGN=\"CENTER\">Z" +
                         HtmlText(column.name) + " (" + std::to_string(column.points) + ")");
        points += column.points;
    }
    pieces.push_back(kHeaderCell + ("Suma (" + std::to_string(points) + ")"));
    for (const ResultsRow& row : table.rows) {
        AddRow(row, pieces);
    }
    pieces.push_back("</TABLE></BODY></HTML>");
    return pieces;
}

void PublishResultsReport(Database& db, Prompts& prompts, const std::string& configPath,
                          const ReportListing& listing, const DetachedLauncher& launcher) {
    const std::optional<std::string> path =
        ChooseReportFile(prompts, listing, "Hodnotenie študentov (*.html)|*.html|", "html");
    if (!path) {
        return;
    }
    // Created or truncated in place and written piece by piece, so other programs may read it meanwhile; a
    // failure leaves it as far as it got.
    FileDescriptor file(::open(path->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (file.get() < 0) {
        Tell(prompts, "Nemožno vytvoriť súbor !!!", "Chyba", PromptIcon::Error);
        return;
    }
    for (const std::string& piece : ResultsReportPieces(ReadResultsTable(db, listing), listing, LocalNow())) {
        if (!WritePiece(file, piece, prompts)) {
            return;
        }
    }
    if (::close(file.release()) != 0) {
        Tell(prompts, "Nemožno zapísať do súboru !!!", "Chyba", PromptIcon::Error);
        return;
    }
    StartBrowser(configPath, FileTarget(*path), prompts, launcher);
}

} // namespace tarvel
