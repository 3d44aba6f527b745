#pragma once
// "Vstup do systému ZOR": the teacher's surname and password. "OK" runs the session's login; the dialog
// closes with accept() on success, with reject() after a refusal or "Späť", and stays open when the teacher
// list could not be read.

#include "shell/Prompts.h"
#include "shell/Session.h"

#include <QDialog>

class QLineEdit;

namespace tarvel {

class LoginDialog : public QDialog {
    Q_OBJECT

public:
    LoginDialog(Session& session, Database& db, Prompts& prompts, QWidget* parent = nullptr);

private:
    void Confirm();

    Session& session_;
    Database& db_;
    Prompts& prompts_;
    QLineEdit* name_;
    QLineEdit* password_;
};

} // namespace tarvel
