#pragma once
// Carries the daemon's reports from its worker thread to the window: each report is posted to the GUI
// thread and emitted there, so the worker never touches a Qt object. The bridge must outlive the worker.

#include "mail/Daemon.h"

#include <QObject>
#include <QString>

namespace tarvel {

class DaemonBridge : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Called on the worker thread.
    void IntakeEnded(const DaemonMail& mail);
    void MailTaken(const DaemonMail& mail);
    // Only the changes (OncePerChange): a failure is shown until a poll reaches the mailbox again.
    void MailboxChanged(const std::string& failure);

signals:
    // The status pane's text while receiving.
    void StatusChanged(const QString& text);

private:
    void Post(std::string text);
};

} // namespace tarvel
