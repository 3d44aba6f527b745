#include "shell/LoginDialog.h"

#include "shell/GuiText.h"
#include "shell/QtForm.h"

#include <QLineEdit>
#include <QPushButton>

namespace tarvel {

LoginDialog::LoginDialog(Session& session, Database& db, Prompts& prompts, QWidget* parent)
    : QDialog(parent), session_(session), db_(db), prompts_(prompts), name_(NamedEdit(*this, "nameEdit", 30)),
      password_(NamedEdit(*this, "passwordEdit", 30, true)) {
    setObjectName(QStringLiteral("loginDialog"));
    setWindowTitle(GuiText("Vstup do systému ZOR"));
    connect(LayOutForm(*this, {{"Meno učiteľa:", name_}, {"Heslo:", password_}}), &QPushButton::clicked, this,
            &LoginDialog::Confirm);
}

void LoginDialog::Confirm() {
    std::string name;
    std::string password;
    // Text with no Windows-1250 form matches no stored surname or password: the login is refused like any
    // other that matches nobody.
    if (!ToCp1250(name_->text(), name) || !ToCp1250(password_->text(), password)) {
        name.assign(1, '\0');
    }
    switch (session_.LogIn(db_, prompts_, name, password)) {
    case LoginOutcome::LoggedIn:
        accept();
        break;
    case LoginOutcome::Refused:
        reject();
        break;
    case LoginOutcome::StayOpen:
        break;
    }
}

} // namespace tarvel
