#pragma once
// "Pridanie variantu zadania": a new variant of a task type with its three files: the task text, the test
// input and the expected output.

#include "shell/Prompts.h"
#include "store/Database.h"

#include <QDialog>

#include <array>

class QComboBox;
class QLineEdit;

namespace tarvel {

class AddVariantDialog : public QDialog {
    Q_OBJECT

public:
    AddVariantDialog(Database& db, Prompts& prompts, QWidget* parent = nullptr);

private:
    void Add();

    Database& db_;
    Prompts& prompts_;
    QComboBox* types_;
    QLineEdit* variant_;
    std::array<QLineEdit*, 3> files_{}; // in the order of the file kinds
};

} // namespace tarvel
