#pragma once
// What the main window's status pane says while the daemon receives (Windows-1250).

#include "mail/Daemon.h"

#include <string>

namespace tarvel {

// "Preberanie: čakám na poštu..."
std::string ReceivingWaiting();
// "Preberanie: spracúvam prácu UNI ID 12345, zadanie 1..."
std::string ReceivingProcessing(const DaemonMail& mail);
// "Preberanie: čakám na poštu... Posledná práca (13:45:02): UNI ID 12345, zadanie 1 - prijatá, test 0"
std::string ReceivingDone(const DaemonMail& mail, const std::string& time);
// "Preberanie: poštu nemožno prebrať (cannot connect to the POP3 server mail.uni.sk)", the client's reason
// as it gives it.
std::string ReceivingMailboxFailed(const std::string& failure);
// "Zastavujem preberanie..."
std::string ReceivingStopping();

} // namespace tarvel
