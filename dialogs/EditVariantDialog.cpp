#include "dialogs/EditVariantDialog.h"

#include "shell/GuiText.h"
#include "shell/QtForm.h"
#include "shell/QtProgress.h"
#include "shell/QtWait.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace tarvel {
EditVariantDialog::EditVariantDialog(Database& db, Prompts& prompts, std::string configPath, QWidget* parent,
                                     ProcessLauncher launcher)
    : QDialog(parent), model_(db, prompts, std::move(configPath),
                              launcher ? std::move(launcher) : LaunchWhileRepainting(RunChild)),
      types_(new QComboBox(this)), variants_(new QComboBox(this)) {
    setObjectName(QStringLiteral("editVariantDialog"));
    setWindowTitle(GuiText("Editovanie variantu zadania"));
    types_->setObjectName(QStringLiteral("typeCombo"));
    variants_->setObjectName(QStringLiteral("variantCombo"));
    const char* const editNames[] = {"textEdit", "inputEdit", "outputEdit"};
    const char* const browseNames[] = {"textBrowse", "inputBrowse", "outputBrowse"};
    const char* const openNames[] = {"textOpen", "inputOpen", "outputOpen"};
    std::array<QWidget*, 3> rows{};
    for (std::size_t i = 0; i < files_.size(); ++i) {
        files_[i] = NamedEdit(*this, editNames[i]);
        files_[i]->setReadOnly(true);
        QPushButton* browse = NamedButton(*this, "...", browseNames[i]);
        QPushButton* open = NamedButton(*this, "&Editovať", openNames[i]);
        const VariantFileKind kind = kVariantFileKinds[i];
        connect(browse, &QPushButton::clicked, this, [this, kind] {
            model_.ReplaceFile(kind);
            Render();
        });
        connect(open, &QPushButton::clicked, this, [this, kind] { model_.Edit(kind); });
        rows[i] = FieldRow(*this, {files_[i], browse, open});
    }
    const auto buttons = LayOutDialog(
        *this,
        {{"Typ zadania:", types_},
         {"Variant zadania:", variants_},
         {"Znenie zadania:", rows[0]},
         {"Vstupné dáta:", rows[1]},
         {"Výstupné dáta:", rows[2]}},
        {{"Vymazať", "deleteButton"}, {"Znovu otestovať", "retestButton"}, {"Späť", "backButton"}});
    setMinimumWidth(640);
    connect(buttons[0], &QPushButton::clicked, this, &EditVariantDialog::Delete);
    retest_ = buttons[1];
    connect(retest_, &QPushButton::clicked, this, &EditVariantDialog::Retest);
    connect(types_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        std::string name;
        if (ToCp1250(text, name)) {
            model_.SelectType(name);
        }
        Render();
    });
    connect(variants_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        std::string name;
        if (ToCp1250(text, name)) {
            model_.SelectVariant(name);
        }
        Render();
    });
    model_.Open();
    Render();
}

void EditVariantDialog::Render() {
    ShowNames(*types_, model_.TaskTypeNames(), model_.SelectedType());
    ShowNames(*variants_, model_.VariantNames(), model_.SelectedVariant());
    for (std::size_t i = 0; i < files_.size(); ++i) {
        files_[i]->setText(FromPath(model_.Field(kVariantFileKinds[i])));
    }
    retest_->setEnabled(!model_.SelectedVariant().empty());
}

void EditVariantDialog::Retest() {
    model_.Retest(ShowStudentProgress(
        *this, {"retestProgress", "Znovu otestovať", "Otestované: %1 z %2 odovzdaní\n%3 %4"}));
}

void EditVariantDialog::Delete() {
    if (model_.Delete()) {
        accept();
    }
}

} // namespace tarvel
