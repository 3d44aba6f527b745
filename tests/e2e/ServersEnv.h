#pragma once
// Where the private Postfix and Dovecot of tests/e2e/mailservers.sh listen, as its DIR/servers.env says; for
// the tests and the benchmarks alike.

#include <istream>
#include <string>

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
    for (std::string line; std::getline(env, line);) {
        const auto equals = line.find('=');
        const std::string key = line.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
        const std::string address = "127.0.0.1:" + value;
        if (key == "smtp_port") {
            servers.smtp = address;
        } else if (key == "pop3_port") {
            servers.pop3 = address;
        } else if (key == "submission_port") {
            servers.submission = address;
        } else if (key == "smtps_port") {
            servers.smtps = address;
        } else if (key == "pop3s_port") {
            servers.pop3s = address;
        } else if (key == "cafile") {
            servers.caFile = value;
        } else if (key == "domain") {
            servers.domain = value;
        } else if (key == "password") {
            servers.password = value;
        }
    }
}

} // namespace tarvel::testing
