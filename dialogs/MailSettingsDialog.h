#pragma once
// "Konfigurácia poštového servra": the SMTP and POP3 hosts each with its security ("Zabezpečenie:"), the
// mailbox login and its password twice. "OK" writes them when the two passwords agree; each host field edits
// the key its label names.

#include "shell/Prompts.h"

#include <QDialog>

#include <string>

class QComboBox;
class QLineEdit;

namespace tarvel {

class MailSettingsDialog : public QDialog {
    Q_OBJECT

public:
    MailSettingsDialog(std::string configPath, Prompts& prompts, QWidget* parent = nullptr);

private:
    void Confirm();

    std::string configPath_;
    Prompts& prompts_;
    QLineEdit* smtp_;
    QComboBox* smtpSecurity_;
    QLineEdit* pop3_;
    QComboBox* pop3Security_;
    QLineEdit* user_;
    QLineEdit* password_;
    QLineEdit* confirmation_;
};

} // namespace tarvel
