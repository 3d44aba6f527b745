#include "shell/LoginDialog.h"

#include "shell/GuiText.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace tarvel {

LoginDialog::LoginDialog(Session& session, Database& db, Prompts& prompts, QWidget* parent)
    : QDialog(parent), session_(session), db_(db), prompts_(prompts), name_(new QLineEdit(this)),
      password_(new QLineEdit(this)) {
    setObjectName(QStringLiteral("loginDialog"));
    setWindowTitle(GuiText("Vstup do systému ZOR"));
    name_->setObjectName(QStringLiteral("nameEdit"));
    name_->setMaxLength(30);
    password_->setObjectName(QStringLiteral("passwordEdit"));
    password_->setMaxLength(30);
    password_->setEchoMode(QLineEdit::Password);

    auto* ok = new QPushButton(GuiText("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* back = new QPushButton(GuiText("Späť"), this);
    back->setObjectName(QStringLiteral("backButton"));
    connect(ok, &QPushButton::clicked, this, &LoginDialog::Confirm);
    connect(back, &QPushButton::clicked, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(GuiText("Meno učiteľa:"), name_);
    form->addRow(GuiText("Heslo:"), password_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(back);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setMinimumWidth(320);
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
