#include "evaluation/ResultsTable.h"

#include "store/Results.h"
#include "store/Tasks.h"

namespace tarvel {
namespace {

TaskCell ReadCell(Database& db, const std::string& studentId, const std::string& task) {
    TaskCell cell;
    if (studentId.empty() || !HasResult(db, studentId, task)) {
        return cell;
    }
    // A section the daemon is rewriting may lack a key; the row shows what was read, as the dialog does.
    ResultRecord result;
    LoadResult(db, task, studentId, result);
    cell.assigned = true;
    cell.mod = result.mod;
    cell.ver = result.ver;
    cell.late = result.late;
    cell.pts = result.pts;
    return cell;
}

} // namespace

ResultsTable ReadResultsTable(Database& db, const ReportListing& listing) {
    ResultsTable table;
    for (const std::string& name : listing.taskTypes) {
        TaskTypeRecord taskType;
        table.columns.push_back({name, LoadTaskType(db, name, taskType) ? taskType.points : 0});
    }
    for (const std::string& unid : listing.unids) {
        ResultsRow row;
        // A student deleted since the list was filled keeps the row, with the listed UNI ID and nothing
        // assigned.
        if (!LoadStudentByUniId(db, unid, row.student)) {
            row.student = StudentRecord{};
            row.student.unid = unid;
        }
        for (const TaskColumn& column : table.columns) {
            row.cells.push_back(ReadCell(db, row.student.id, column.name));
            const TaskCell& cell = row.cells.back();
            if (cell.assigned && cell.pts != -1) {
                row.sum += cell.pts;
            }
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

} // namespace tarvel
