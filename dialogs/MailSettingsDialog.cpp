#include "dialogs/MailSettingsDialog.h"

#include "platform/Cp1250.h"
#include "shell/GuiText.h"
#include "shell/QtForm.h"
#include "shell/Settings.h"

#include <QLineEdit>
#include <QPushButton>

namespace tarvel {

MailSettingsDialog::MailSettingsDialog(std::string configPath, Prompts& prompts, QWidget* parent)
    : QDialog(parent), configPath_(std::move(configPath)), prompts_(prompts),
      smtp_(NamedEdit(*this, "smtpEdit", 50)), pop3_(NamedEdit(*this, "pop3Edit", 50)),
      user_(NamedEdit(*this, "userEdit", 30)), password_(NamedEdit(*this, "passwordEdit", 30, true)),
      confirmation_(NamedEdit(*this, "confirmationEdit", 30, true)) {
    setObjectName(QStringLiteral("mailSettingsDialog"));
    setWindowTitle(GuiText("Konfigurácia poštového servra"));
    const MailSettings settings = ReadMailDialogFields(configPath_);
    smtp_->setText(FromCp1250(settings.smtp));
    pop3_->setText(FromCp1250(settings.pop3));
    user_->setText(FromCp1250(settings.user));
    password_->setText(FromCp1250(settings.password));
    confirmation_->setText(FromCp1250(settings.password));
    QPushButton* ok = LayOutForm(*this, {{"SMTP server:", smtp_},
                                         {"POP3 server:", pop3_},
                                         {"Login:", user_},
                                         {"Heslo:", password_},
                                         {"Potvrdenie hesla:", confirmation_}});
    connect(ok, &QPushButton::clicked, this, &MailSettingsDialog::Confirm);
}

void MailSettingsDialog::Confirm() {
    MailSettings settings;
    std::string confirmation;
    const auto refuse = [this](const char* text, const char* title) {
        prompts_.Tell({Cp1250Text(text), Cp1250Text(title), PromptButtons::Ok, PromptIcon::Error});
    };
    if (!ReadCp1250(prompts_, {{smtp_, &settings.smtp},
                               {pop3_, &settings.pop3},
                               {user_, &settings.user},
                               {password_, &settings.password},
                               {confirmation_, &confirmation}})) {
        return;
    }
    if (settings.password != confirmation) {
        refuse("Nesprávne potvrdené heslo !!!", "Chyba údajov");
        return;
    }
    if (!WriteMailSettings(configPath_, settings)) {
        refuse("Problém pri zápise konfigurácie !!!", "Chyba");
        return;
    }
    accept();
}

} // namespace tarvel
