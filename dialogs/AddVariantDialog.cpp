#include "dialogs/AddVariantDialog.h"

#include "dialogs/TaskTypeEditing.h"
#include "dialogs/VariantEditing.h"
#include "shell/GuiText.h"
#include "shell/QtForm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace tarvel {

AddVariantDialog::AddVariantDialog(Database& db, Prompts& prompts, QWidget* parent)
    : QDialog(parent), db_(db), prompts_(prompts), types_(new QComboBox(this)),
      variant_(NamedEdit(*this, "variantEdit")) {
    setObjectName(QStringLiteral("addVariantDialog"));
    setWindowTitle(GuiText("Pridanie variantu zadania"));
    types_->setObjectName(QStringLiteral("typeCombo"));
    std::vector<std::string> names;
    ReadSortedTaskTypes(db_, names);
    ShowNames(*types_, names, names.empty() ? std::string() : names.front());
    const char* const editNames[] = {"textEdit", "inputEdit", "outputEdit"};
    const char* const browseNames[] = {"textBrowse", "inputBrowse", "outputBrowse"};
    std::array<QWidget*, 3> rows{};
    for (std::size_t i = 0; i < files_.size(); ++i) {
        files_[i] = NamedEdit(*this, editNames[i]);
        QPushButton* browse = NamedButton(*this, "...", browseNames[i]);
        connect(browse, &QPushButton::clicked, this, [this, i] {
            const auto chosen = ChooseVariantFile(prompts_, kVariantFileKinds[i], ToPath(files_[i]->text()));
            if (chosen) {
                files_[i]->setText(FromPath(*chosen));
            }
        });
        rows[i] = FieldRow(*this, {files_[i], browse});
    }
    const auto buttons = LayOutDialog(*this,
                                      {{"Typ zadania:", types_},
                                       {"Variant zadania:", variant_},
                                       {"Znenie zadania:", rows[0]},
                                       {"Vstupné dáta:", rows[1]},
                                       {"Výstupné dáta:", rows[2]}},
                                      {{"Pridať", "addButton"}, {"Späť", "backButton"}});
    setMinimumWidth(480);
    connect(buttons[0], &QPushButton::clicked, this, &AddVariantDialog::Add);
}

void AddVariantDialog::Add() {
    std::string type;
    std::string variant;
    if (!ToCp1250(types_->currentText(), type) || !ReadCp1250(prompts_, {{variant_, &variant}})) {
        return;
    }
    if (AddVariantFromFields(db_, prompts_, type, variant, ToPath(files_[0]->text()),
                             ToPath(files_[1]->text()), ToPath(files_[2]->text()))) {
        accept();
    }
}

} // namespace tarvel
