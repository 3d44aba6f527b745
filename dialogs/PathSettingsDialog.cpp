#include "dialogs/PathSettingsDialog.h"

#include "shell/GuiText.h"
#include "shell/QtForm.h"
#include "shell/Settings.h"

#include <QLineEdit>
#include <QPushButton>

namespace tarvel {

PathSettingsDialog::PathSettingsDialog(std::string configPath, QWidget* parent)
    : QDialog(parent), configPath_(std::move(configPath)), compiler_(NamedEdit(*this, "compilerEdit")),
      editor_(NamedEdit(*this, "editorEdit")), browser_(NamedEdit(*this, "browserEdit")) {
    setObjectName(QStringLiteral("pathSettingsDialog"));
    setWindowTitle(GuiText("Nastavenie ciest"));
    const PathSettings settings = ReadPathSettings(configPath_);
    compiler_->setText(FromPath(settings.compiler));
    editor_->setText(FromPath(settings.editor));
    browser_->setText(FromPath(settings.browser));
    QPushButton* ok = LayOutForm(
        *this,
        {{"Kompilátor jazyka C:", compiler_}, {"Textový editor:", editor_}, {"www prehliadač:", browser_}});
    connect(ok, &QPushButton::clicked, this, &PathSettingsDialog::Confirm);
    setMinimumWidth(480);
}

void PathSettingsDialog::Confirm() {
    // The writes' results are not reported: the dialog has always closed.
    WritePathSettings(configPath_,
                      {ToPath(compiler_->text()), ToPath(editor_->text()), ToPath(browser_->text())});
    accept();
}

} // namespace tarvel
