#include "shell/NewDatabaseDialog.h"

#include "platform/Cp1250.h"
#include "shell/Databases.h"
#include "shell/GuiText.h"
#include "shell/QtForm.h"

#include <QLineEdit>
#include <QPushButton>

namespace tarvel {

NewDatabaseDialog::NewDatabaseDialog(Database& db, std::string configPath, Prompts& prompts, QWidget* parent)
    : QDialog(parent), db_(db), configPath_(std::move(configPath)), prompts_(prompts),
      name_(NamedEdit(*this, "nameEdit", 20)) {
    setObjectName(QStringLiteral("newDatabaseDialog"));
    setWindowTitle(GuiText("Založenie novej databázy"));
    connect(LayOutForm(*this, {{"Meno databázy:", name_}}), &QPushButton::clicked, this,
            &NewDatabaseDialog::Confirm);
}

void NewDatabaseDialog::Confirm() {
    if (CreateDatabase(db_, configPath_, ToPath(name_->text()))) {
        accept();
        return;
    }
    prompts_.Tell({Cp1250Text("Problém pri vytváraní databázy !!!"), Cp1250Text("Chyba databázy"),
                   PromptButtons::Ok, PromptIcon::Error});
}

} // namespace tarvel
