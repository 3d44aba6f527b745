#pragma once
// "Editovanie variantu zadania": a variant's three files, each to replace with another file or to open in
// the configured editor, deleting the variant, and testing its accepted submissions again under a progress
// dialog. The state is the model's (VariantEditing).

#include "dialogs/VariantEditing.h"

#include <QDialog>

#include <array>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tarvel {

class EditVariantDialog : public QDialog {
    Q_OBJECT

public:
    // The launcher starts the editor and the re-test's compiler and programs; by default it runs while the
    // window repaints and takes no input.
    EditVariantDialog(Database& db, Prompts& prompts, std::string configPath, QWidget* parent = nullptr,
                      ProcessLauncher launcher = {});

private:
    void Render();
    void Delete();
    void Retest();

    VariantEditing model_;
    QComboBox* types_;
    QComboBox* variants_;
    std::array<QLineEdit*, 3> files_{}; // in the order of the file kinds
    QPushButton* retest_ = nullptr;
};

} // namespace tarvel
