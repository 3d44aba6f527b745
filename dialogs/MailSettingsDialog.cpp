#include "dialogs/MailSettingsDialog.h"

#include "platform/Cp1250.h"
#include "shell/GuiText.h"
#include "shell/QtForm.h"
#include "shell/Settings.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace tarvel {
namespace {

// The drop-down's entries in the order of MailSecurity.
QComboBox* SecurityCombo(QDialog& dialog, const char* objectName) {
    auto* combo = new QComboBox(&dialog);
    combo->setObjectName(QString::fromLatin1(objectName));
    combo->addItems({GuiText("žiadne"), QStringLiteral("STARTTLS"), QStringLiteral("TLS")});
    return combo;
}

MailSecurity SecurityOf(const QComboBox& combo) {
    return static_cast<MailSecurity>(combo.currentIndex());
}

} // namespace

MailSettingsDialog::MailSettingsDialog(std::string configPath, Prompts& prompts, QWidget* parent)
    : QDialog(parent), configPath_(std::move(configPath)), prompts_(prompts),
      smtp_(NamedEdit(*this, "smtpEdit", 50)), smtpSecurity_(SecurityCombo(*this, "smtpSecurityCombo")),
      pop3_(NamedEdit(*this, "pop3Edit", 50)), pop3Security_(SecurityCombo(*this, "pop3SecurityCombo")),
      user_(NamedEdit(*this, "userEdit", 30)), password_(NamedEdit(*this, "passwordEdit", 30, true)),
      confirmation_(NamedEdit(*this, "confirmationEdit", 30, true)) {
    setObjectName(QStringLiteral("mailSettingsDialog"));
    setWindowTitle(GuiText("Konfigurácia poštového servra"));
    const MailSettings settings = ReadMailDialogFields(configPath_);
    smtpSecurity_->setCurrentIndex(static_cast<int>(settings.smtpSecurity));
    pop3Security_->setCurrentIndex(static_cast<int>(settings.pop3Security));
    smtp_->setText(FromCp1250(settings.smtp));
    pop3_->setText(FromCp1250(settings.pop3));
    user_->setText(FromCp1250(settings.user));
    password_->setText(FromCp1250(settings.password));
    confirmation_->setText(FromCp1250(settings.password));
    QPushButton* ok = LayOutForm(*this, {{"SMTP server:", smtp_},
                                         {"Zabezpečenie:", smtpSecurity_},
                                         {"POP3 server:", pop3_},
                                         {"Zabezpečenie:", pop3Security_},
                                         {"Login:", user_},
                                         {"Heslo:", password_},
                                         {"Potvrdenie hesla:", confirmation_}});
    connect(ok, &QPushButton::clicked, this, &MailSettingsDialog::Confirm);
}

void MailSettingsDialog::Confirm() {
    MailSettings settings;
    settings.smtpSecurity = SecurityOf(*smtpSecurity_);
    settings.pop3Security = SecurityOf(*pop3Security_);
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
