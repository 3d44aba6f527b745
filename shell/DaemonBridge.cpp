#include "shell/DaemonBridge.h"

#include "shell/GuiText.h"
#include "shell/ReceivingStatus.h"

#include <QTime>

namespace tarvel {

void DaemonBridge::IntakeEnded(const DaemonMail& mail) {
    Post(ReceivingProcessing(mail));
}

void DaemonBridge::MailTaken(const DaemonMail& mail) {
    const std::string time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss")).toStdString();
    Post(ReceivingDone(mail, time));
}

void DaemonBridge::MailboxChanged(const std::string& failure) {
    Post(failure.empty() ? ReceivingWaiting() : ReceivingMailboxFailed(failure));
}

void DaemonBridge::Post(std::string text) {
    QMetaObject::invokeMethod(
        this, [this, text = std::move(text)] { emit StatusChanged(FromCp1250(text)); }, Qt::QueuedConnection);
}

} // namespace tarvel
