#pragma once
// "Pridanie študenta": one student with his teacher, typed in; or a whole class list read from a file.

#include "dialogs/ListLines.h"
#include "shell/Prompts.h"
#include "store/Database.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QLineEdit;

namespace tarvel {

class AddStudentDialog : public QDialog {
    Q_OBJECT

public:
    AddStudentDialog(Database& db, Prompts& prompts, QWidget* parent = nullptr);

private:
    void Add();
    // "Načítať zoznam...": every row of a class file as a student of the selected teacher, and one box
    // that says what became of the rows. The dialog closes once students were added.
    void AddClassList();
    std::string SelectedTeacher() const;

    Database& db_;
    Prompts& prompts_;
    std::vector<ListEntry> teachers_;
    QLineEdit* name_;
    QLineEdit* surname_;
    QLineEdit* email_;
    QLineEdit* group_;
    QLineEdit* unid_;
    QComboBox* teacher_;
};

} // namespace tarvel
