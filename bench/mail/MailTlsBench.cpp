// What TLS costs one mail: an SMTP send (a verdict of 1 KiB) and a POP3 fetch (a submission of 40 KiB)
// through the private Postfix and Dovecot in each security, beside the same in clear text against the same
// servers in the same run. Every round opens a new connection, as the daemon and the assignment do. Prints
// the median and the slowest round of each route and the median's ratio to clear text.

#include "mail/MailClient.h"
#include "platform/FileOps.h"

#include "BenchServers.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace tarvel;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 30;

struct Route {
    const char* name;
    std::string host;
    MailSecurity security;
};

struct Timing {
    double median = 0;
    double slowest = 0;
};

Timing Summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string Mail(const std::string& to, std::size_t bodyBytes) {
    std::string body;
    while (body.size() < bodyBytes) {
        body += "Vysledok testov: program je funkcny, riadok " + std::to_string(body.size()) + "\r\n";
    }
    return "From: zor@127.0.0.1\r\nTo: " + to + "\r\nSubject: Odovzdane zadanie cislo 1\r\n\r\n" + body;
}

void PrintTable(const char* what, const std::vector<Route>& routes, const std::vector<Timing>& timings) {
    std::printf("%s (median of %d rounds, each a new connection)\n", what, kRounds);
    for (std::size_t i = 0; i < routes.size(); ++i) {
        std::printf("  %-22s %7.2f ms   slowest %7.2f ms   ratio to clear text %5.1f\n", routes[i].name,
                    timings[i].median, timings[i].slowest, timings[i].median / timings[0].median);
    }
}

} // namespace

int main() {
    if (::geteuid() != 0) {
        std::printf("bench_mail_tls: needs root (the private Postfix and Dovecot)\n");
        return 0;
    }
    bench::BenchServers servers;
    if (!servers.Start("tls")) {
        std::printf("bench_mail_tls: the mail servers did not start\n");
        return 1;
    }
    const std::string to = servers.Address("student1");
    const std::string verdict = Mail(to, 1024);

    const std::vector<Route> smtpRoutes = {{"clear text", servers.smtp, MailSecurity::None},
                                           {"STARTTLS + AUTH", servers.submission, MailSecurity::StartTls},
                                           {"TLS + AUTH", servers.smtps, MailSecurity::Tls}};
    std::vector<std::vector<double>> sends(smtpRoutes.size());
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t i = 0; i < smtpRoutes.size(); ++i) {
            const Route& route = smtpRoutes[i];
            std::string reason;
            const auto start = Clock::now();
            if (SendMail(route.host, "zor@127.0.0.1", to, verdict, kMailTimeout, &reason,
                         {route.security, servers.caFile, "zor", servers.password}) != 1) {
                std::printf("bench_mail_tls: %s send failed: %s\n", route.name, reason.c_str());
                return 1;
            }
            sends[i].push_back(MsSince(start));
        }
    }

    // The mailbox is filled first, so that every fetch finds a message waiting.
    const std::vector<Route> pop3Routes = {{"clear text", servers.pop3, MailSecurity::None},
                                           {"STLS", servers.pop3, MailSecurity::StartTls},
                                           {"TLS", servers.pop3s, MailSecurity::Tls}};
    const std::size_t waiting = kRounds * pop3Routes.size();
    const std::string submission = Mail(servers.Address("zor"), 40 * 1024);
    for (std::size_t i = 0; i < waiting; ++i) {
        SendMail(servers.smtp, "student1@" + servers.domain, servers.Address("zor"), submission);
    }
    const std::string maildir = servers.dir + "/mail/zor/new";
    for (auto until = Clock::now() + std::chrono::seconds(60);
         ListMatching(maildir, "*").size() < waiting && Clock::now() < until;) {
        ::usleep(50'000);
    }
    std::vector<std::vector<double>> fetches(pop3Routes.size());
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t i = 0; i < pop3Routes.size(); ++i) {
            const Route& route = pop3Routes[i];
            std::string text;
            FetchProgress progress;
            const auto start = Clock::now();
            if (FetchMail(route.host, "zor", servers.password, text, MessageKeeper{}, progress, kMailTimeout,
                          kMaxFetchedMessage, {route.security, servers.caFile}) != 1) {
                std::printf("bench_mail_tls: %s fetch failed: %s\n", route.name, progress.failure.c_str());
                return 1;
            }
            fetches[i].push_back(MsSince(start));
        }
    }

    std::vector<Timing> sendTimes;
    std::vector<Timing> fetchTimes;
    std::transform(sends.begin(), sends.end(), std::back_inserter(sendTimes), Summarise);
    std::transform(fetches.begin(), fetches.end(), std::back_inserter(fetchTimes), Summarise);
    PrintTable("SMTP: one verdict mail of 1 KiB sent", smtpRoutes, sendTimes);
    PrintTable("POP3: one submission of 40 KiB fetched and deleted", pop3Routes, fetchTimes);
    return 0;
}
