#pragma once
// Where the private Postfix and Dovecot of tests/e2e/mailservers.sh listen, as its DIR/servers.env says; for
// the tests and the benchmarks alike.

#include <istream>
#include <string>
#include <string_view>
#include <utility>

namespace tarvel::testing {

// Every address is "127.0.0.1:<port>". The TLS ports present a certificate for "localhost" and 127.0.0.1 that
// only caFile's CA vouches for.
struct MailServers {
    std::string smtp;       // clear text, no login
    std::string pop3;       // clear-text USER/PASS, STLS offered
    std::string submission; // STARTTLS required, then AUTH PLAIN or LOGIN before MAIL
    std::string smtps;      // TLS from the first byte, AUTH before MAIL
    std::string pop3s;      // TLS from the first byte
    std::string caFile;     // the CA (PEM) that signed the servers' certificate
    std::string domain;     // every user's mail domain
    std::string password;   // every user's POP3 and SMTP password

    std::string Address(const std::string& user) const { return user + "@" + domain; }
};

inline void ReadServersEnv(std::istream& env, MailServers& servers) {
    const std::pair<std::string_view, std::string MailServers::*> addresses[] = {
        {"smtp_port", &MailServers::smtp},
        {"pop3_port", &MailServers::pop3},
        {"submission_port", &MailServers::submission},
        {"smtps_port", &MailServers::smtps},
        {"pop3s_port", &MailServers::pop3s}};
    const std::pair<std::string_view, std::string MailServers::*> values[] = {
        {"cafile", &MailServers::caFile},
        {"domain", &MailServers::domain},
        {"password", &MailServers::password}};
    for (std::string line; std::getline(env, line);) {
        const auto equals = line.find('=');
        const std::string_view key = std::string_view(line).substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
        for (const auto& [name, member] : addresses) {
            if (key == name) {
                servers.*member = "127.0.0.1:" + value;
            }
        }
        for (const auto& [name, member] : values) {
            if (key == name) {
                servers.*member = value;
            }
        }
    }
}

} // namespace tarvel::testing
