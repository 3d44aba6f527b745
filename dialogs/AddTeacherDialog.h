#pragma once
// "Pridanie učiteľa": a teacher with his password, typed twice.

#include "shell/Prompts.h"
#include "store/Database.h"

#include <QDialog>

class QLineEdit;

namespace tarvel {

class AddTeacherDialog : public QDialog {
    Q_OBJECT

public:
    AddTeacherDialog(Database& db, Prompts& prompts, QWidget* parent = nullptr);

private:
    void Add();

    Database& db_;
    Prompts& prompts_;
    QLineEdit* name_;
    QLineEdit* surname_;
    QLineEdit* email_;
    QLineEdit* password_;
    QLineEdit* confirmation_;
    QLineEdit* room_;
};

} // namespace tarvel
