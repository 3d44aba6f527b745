#pragma once
// "Založenie novej databázy": the name of a new database below <zorpath>/db. "OK" creates it and closes;
// a failure is told and the dialog stays open.

#include "shell/Prompts.h"
#include "store/Database.h"

#include <QDialog>

class QLineEdit;

namespace tarvel {

class NewDatabaseDialog : public QDialog {
    Q_OBJECT

public:
    NewDatabaseDialog(Database& db, std::string configPath, Prompts& prompts, QWidget* parent = nullptr);

private:
    void Confirm();

    Database& db_;
    std::string configPath_;
    Prompts& prompts_;
    QLineEdit* name_;
};

} // namespace tarvel
