#pragma once
// "Pridanie typu zadania": a task type's one-digit name, its points and its deadline.

#include "shell/Prompts.h"
#include "store/Database.h"

#include <QDialog>

class QDateEdit;
class QLineEdit;

namespace tarvel {

class AddTaskTypeDialog : public QDialog {
    Q_OBJECT

public:
    AddTaskTypeDialog(Database& db, Prompts& prompts, QWidget* parent = nullptr);

private:
    void Add();

    Database& db_;
    Prompts& prompts_;
    QLineEdit* name_;
    QLineEdit* points_;
    QDateEdit* deadline_;
};

// The date picker both task-type dialogs use, starting at today.
QDateEdit* DeadlineEdit(QDialog& dialog);

} // namespace tarvel
