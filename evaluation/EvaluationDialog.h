#pragma once
// "Hodnotenie práce študenta": the student list, the selected student's data and results of a task type,
// the similar classmates, the points, and the buttons to the report, its export, the submission's pages,
// the side-by-side comparison and the mails the daemon could not process. The state is the model's
// (EvaluationDesk); the widgets pass on what the teacher does and show what the model holds.

#include "evaluation/EvaluationDesk.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;

namespace tarvel {

class EvaluationDialog : public QDialog {
    Q_OBJECT

public:
    // `zorpath` is the installation whose mail archive holds the dropped mails.
    EvaluationDialog(Database& db, Prompts& prompts, const std::string& configPath,
                     const TeacherRecord& teacher, std::string zorpath, QWidget* parent = nullptr,
                     DetachedLauncher launcher = SystemBrowserLauncher());

    const EvaluationDesk& Desk() const { return desk_; }

private:
    QWidget* StudentsGroup();
    QWidget* StudentGroup();
    QWidget* ResultsGroup();
    QWidget* SimilarGroup();
    std::string Points() const;
    void Render();
    void Compare();
    void ShowDroppedMails();

    Prompts& prompts_;
    std::string zorpath_;
    EvaluationDesk desk_;
    QCheckBox* allStudents_;
    QListWidget* students_;
    QLineEdit* name_;
    QLineEdit* surname_;
    QLineEdit* group_;
    QLineEdit* unid_;
    QLineEdit* teacher_;
    QLineEdit* total_;
    QComboBox* taskType_;
    QLineEdit* variant_;
    QLineEdit* submissions_;
    QLineEdit* late_;
    QListWidget* results_;
    QLineEdit* points_;
    QLineEdit* maximum_;
    QListWidget* similar_;
    int shownFill_ = -1; // the student list's fill the list widget holds
};

} // namespace tarvel
