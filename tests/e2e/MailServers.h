#pragma once
// The private Postfix and Dovecot that tests/e2e/mailservers.sh started for this test run: where they listen,
// and reading a mailbox empty through the system's own POP3 client.

#include "e2e/ServersEnv.h"
#include "mail/MailClient.h"
#include "mail/MailMessage.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace tarvel::testing {

// The servers of this run; exits with 77 (skipped) when they are not running.
inline MailServers RunningMailServers() {
    std::ifstream env(std::string(TARVEL_MAIL_DIR) + "/servers.env");
    if (!env) {
        std::fprintf(stderr, "skipped: the private mail servers are not running (needs root, Postfix and "
                             "Dovecot; scripts/setup installs them)\n");
        std::exit(77);
    }
    MailServers servers;
    ReadServersEnv(env, servers);
    return servers;
}

// Fetches messages of the user's mailbox until `count` have come (Postfix delivers a moment after it
// accepted) or 20 s have passed. Each entry is the message without the POP3 framing, CR LF line ends.
inline std::vector<std::string> FetchMessages(const MailServers& servers, const std::string& user,
                                              std::size_t count) {
    std::vector<std::string> messages;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (messages.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::string text;
        FetchProgress progress;
        if (FetchMail(servers.pop3, user, servers.password, text, MessageKeeper{}, progress) == 1) {
            std::string message;
            if (RetrievedMessage(text, message)) {
                messages.push_back(message);
            }
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    return messages;
}

// Removes whatever an earlier run left in the mailbox.
inline void EmptyMailbox(const MailServers& servers, const std::string& user) {
    for (;;) {
        std::string text;
        FetchProgress progress;
        if (FetchMail(servers.pop3, user, servers.password, text, MessageKeeper{}, progress) != 1) {
            return;
        }
    }
}

// The value of the first header line of that name (compared exactly), without its CR LF.
inline std::string HeaderValue(const std::string& message, const std::string& name) {
    const std::string header = message.substr(0, message.find("\r\n\r\n") + 2);
    const std::string prefix = name + ": ";
    for (std::size_t start = 0; start < header.size();) {
        const std::size_t end = header.find("\r\n", start);
        const std::string line = header.substr(start, end - start);
        if (line.compare(0, prefix.size(), prefix) == 0) {
            return line.substr(prefix.size());
        }
        start = end + 2;
    }
    return {};
}

inline std::string BodyOf(const std::string& message) {
    const auto end = message.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : message.substr(end + 4);
}

inline std::string WithCrLf(const std::string& text) {
    std::string converted;
    for (char byte : text) {
        if (byte == '\n') {
            converted += '\r';
        }
        converted += byte;
    }
    return converted;
}

} // namespace tarvel::testing
