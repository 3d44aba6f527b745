#pragma once
// The table of the results report and of its spreadsheet export: one row per student of the evaluation
// dialog's list, in the list's order, and per task type of its list the variant, days late, attempts and
// points, then the student's sum. Read afresh from the record files; the daemon may be writing meanwhile.

#include "store/Database.h"
#include "store/Students.h"
#include "store/Teachers.h"

#include <string>
#include <vector>

namespace tarvel {

// What the evaluation dialog lists at the moment of the report.
struct ReportListing {
    std::vector<std::string> unids;     // the student list's UNI IDs, in the list's order
    std::vector<std::string> taskTypes; // the task-type list's names, in its order
    TeacherRecord teacher;              // the logged-in teacher
    bool allStudents = false;           // "Všetci študenti" ticked
};

struct TaskColumn {
    std::string name;
    int points = 0; // the most the task type earns
};

struct TaskCell {
    bool assigned = false; // the student has the task type's result section
    std::string mod;
    int ver = 0;
    int late = 0;
    int pts = -1; // -1: not evaluated yet
};

struct ResultsRow {
    StudentRecord student;
    std::vector<TaskCell> cells; // one per column
    int sum = 0;                 // pts of the assigned task types whose pts is not -1
};

struct ResultsTable {
    std::vector<TaskColumn> columns;
    std::vector<ResultsRow> rows;
};

// Per listed UNI ID LoadStudentByUniId, then per listed task type HasResult and LoadResult; the columns'
// points from LoadTaskType (0 when it cannot be read). A student who cannot be loaded (deleted since the list
// was filled) keeps the row with only the listed UNI ID and nothing assigned.
ResultsTable ReadResultsTable(Database& db, const ReportListing& listing);

} // namespace tarvel
