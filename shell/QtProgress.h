#pragma once
// The progress of a long run over students on the GUI thread (the assignment's mails, a variant's re-test):
// a window-modal dialog without a cancel button, made at the first report and gone with the last; the
// window repaints behind it and takes no input meanwhile.

#include "store/Students.h"

#include <functional>

class QWidget;

namespace tarvel {

struct ProgressTexts {
    const char* objectName;
    const char* title; // UTF-8
    // UTF-8, with %1 for done, %2 for total, %3 and %4 for the student's name and surname
    const char* label;
};

// What a run over students reports: before each student (done of total, that student) and once at the end
// (no student).
using StudentProgress = std::function<void(int done, int total, const StudentRecord* student)>;

// A reporter that shows the dialog over `owner` from the first report with a student on, and closes it at
// the report without one; the dialog also goes with the last copy of the reporter or with the owner.
StudentProgress ShowStudentProgress(QWidget& owner, const ProgressTexts& texts);

} // namespace tarvel
