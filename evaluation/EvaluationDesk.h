#pragma once
// The model behind "Hodnotenie práce študenta": the student list (the teacher's own or all students), the
// task types, the selected student's data and results, the similar classmates, and the points with their
// guard against typed points being lost when the teacher moves on without "Zapísať". Every display reads
// the record files afresh, since the receiving daemon may be writing them meanwhile; no operation relies on
// the store's lastOk, which the daemon's thread writes too. Texts are Windows-1250; the points text comes
// from the widget at each event.

#include "dialogs/ListLines.h"
#include "evaluation/ResultsTable.h"
#include "platform/ChildProcess.h"
#include "shell/Prompts.h"
#include "store/Database.h"
#include "store/Teachers.h"

#include <string>
#include <vector>

namespace tarvel {

// What the menu command checks before the dialog opens: the students can be read and there is one, and the
// teacher is not logged in with the first-run account. A failed check has told why.
bool ReadyToEvaluate(Database& db, Prompts& prompts, bool firstRun);

// What the dialog's fields and lists show.
struct EvaluationView {
    std::string name;
    std::string surname;
    std::string group;
    std::string unid;
    std::string teacher; // surname, a blank and the first name
    int total = 0;       // the points of every evaluated task type
    int maximum = 0;     // "MAX:" of the selected task type
    std::string variant; // "" when the task type is not assigned
    int submissions = 0;
    int late = 0;
    std::string points; // the points field
    std::vector<std::string> results;
    std::vector<ListEntry> similar; // keyed by the classmate's student id, sorted
};

// The browser start of the system; tests pass a launcher that records instead.
DetachedLauncher SystemBrowserLauncher();

class EvaluationDesk {
public:
    EvaluationDesk(Database& db, Prompts& prompts, std::string configPath, TeacherRecord teacher,
                   DetachedLauncher launcher = SystemBrowserLauncher());

    // Lists the task types (the first selected) and the teacher's own students.
    void Open();

    bool AllStudents() const { return allStudents_; }
    // Keyed by UNI ID, sorted in byte order as the dialog and the report show them.
    const std::vector<ListEntry>& Students() const { return students_; }
    int SelectedStudent() const { return selectedStudent_; }
    // Counts the fills of the student list, so that a view refills its list only when the list changed.
    int StudentListFills() const { return studentListFills_; }
    const std::vector<std::string>& TaskTypes() const { return taskTypes_; }
    int SelectedTaskType() const { return selectedTaskType_; }
    const EvaluationView& View() const { return view_; }

    // "Všetci študenti" clicked: the other student list, its first student shown.
    void ToggleAllStudents(const std::string& points);
    // Another student or task type selected; typed points not yet written are asked about first.
    void SelectStudent(int index, const std::string& points);
    void SelectTaskType(int index, const std::string& points);
    // The points field took or lost the focus.
    void PointsFocusIn(const std::string& points);
    void PointsFocusOut(const std::string& points);
    // "Zapísať".
    void Write(const std::string& points);

    // "Zadanie": the selected submission's pages in the browser.
    void ShowSubmission();
    // "Hodnotenie študentov --> HTML" and "Export CSV...", of the students listed now.
    void PublishReport();
    void ExportCsv();
    // A similar classmate's submission beside the selected student's, in the browser.
    void Compare(int similarIndex);

    ReportListing Listing() const;

private:
    void FillStudents();
    void ClearDetails();
    void ShowStudent();
    void ShowResults();
    // The pending-points check before another student or task type is shown; `adopt` runs after a save.
    void CheckPendingPoints(const char* question, bool studentChanged);
    // Writes the points text for the current student and remembered task type; false when refused.
    bool SavePendingPoints();
    int ComputeTotal(const std::string& studentId);
    std::string SelectedUnid() const;
    std::string SelectedTaskName() const;
    bool HasSubmission() const;

    Database& db_;
    Prompts& prompts_;
    std::string configPath_;
    TeacherRecord teacher_;
    DetachedLauncher launcher_;

    bool allStudents_ = false;
    std::vector<ListEntry> students_;
    int selectedStudent_ = -1;
    int studentListFills_ = 0;
    std::vector<std::string> taskTypes_;
    int selectedTaskType_ = -1;

    std::string currentUnid_;    // whose points the field holds
    std::string rememberedTask_; // and of which task type
    std::string pending_;        // the points text as loaded or when the field took the focus
    bool firstStudent_ = false;
    bool firstTaskType_ = false;
    EvaluationView view_;
};

} // namespace tarvel
