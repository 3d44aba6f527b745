#pragma once
// An in-process POP3 mailbox on loopback that serves any number of sessions, for the daemon's faults that a
// real server will not produce on demand: a QUIT left unanswered after DELE (the message then stays, as with
// Dovecot, which deletes only when it answers QUIT) and a server that turns every session away. It records
// when each session began. Like Dovecot it dot-stuffs, ends a retrieval with "." and refuses "RETR 1" on an
// empty mailbox.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarvel::testing {

class FakeMailbox {
public:
    using Clock = std::chrono::steady_clock;

    FakeMailbox() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 8);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~FakeMailbox() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }
    FakeMailbox(const FakeMailbox&) = delete;
    FakeMailbox& operator=(const FakeMailbox&) = delete;

    std::string HostSetting() const { return "127.0.0.1:" + std::to_string(port_); }

    // A message with LF or CR LF line ends, header lines first.
    void Add(const std::string& message) {
        std::lock_guard lock(mutex_);
        messages_.push_back(message);
    }
    std::size_t Count() const {
        std::lock_guard lock(mutex_);
        return messages_.size();
    }
    // The next session closes the connection instead of answering QUIT, so its DELE is not carried out.
    void LoseNextQuit() { loseNextQuit_ = true; }
    // Every session is turned away with a negative greeting, until Welcome.
    void TurnAway() { turnAway_ = true; }
    void Welcome() { turnAway_ = false; }
    // Every session reads what the client sends first (with TLS, its ClientHello) and closes the connection.
    void DropAfterFirstRead() { dropAfterFirstRead_ = true; }

    std::vector<Clock::time_point> Sessions() const {
        std::lock_guard lock(mutex_);
        return sessions_;
    }

private:
    void Serve() {
        while (!stop_) {
            pollfd entry{listener_, POLLIN, 0};
            if (poll(&entry, 1, 20) <= 0) {
                continue;
            }
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) {
                continue;
            }
            {
                std::lock_guard lock(mutex_);
                sessions_.push_back(Clock::now());
            }
            Session(client);
            ::close(client);
        }
    }

    void Session(int client) {
        if (dropAfterFirstRead_) {
            char hello[4096];
            pollfd entry{client, POLLIN, 0};
            if (poll(&entry, 1, 10'000) > 0) {
                [[maybe_unused]] const ssize_t read = ::recv(client, hello, sizeof hello, 0);
            }
            return;
        }
        if (turnAway_) {
            Send(client, "-ERR [SYS/TEMP] Service unavailable\r\n");
            return;
        }
        Send(client, "+OK Fake ready.\r\n");
        std::string pending;
        bool deleteFirst = false;
        for (std::string line; ReadLine(client, pending, line);) {
            if (line.starts_with("RETR 1")) {
                std::string message;
                {
                    std::lock_guard lock(mutex_);
                    message = messages_.empty() ? std::string() : messages_.front();
                }
                Send(client,
                     message.empty() ? std::string("-ERR There's no message 1.\r\n") : Retrieval(message));
            } else if (line.starts_with("DELE 1")) {
                deleteFirst = true;
                Send(client, "+OK Marked to be deleted.\r\n");
            } else if (line.starts_with("QUIT")) {
                if (loseNextQuit_.exchange(false)) {
                    return;
                }
                if (deleteFirst) {
                    std::lock_guard lock(mutex_);
                    messages_.erase(messages_.begin());
                }
                Send(client, "+OK Logging out.\r\n");
                return;
            } else {
                Send(client, "+OK\r\n");
            }
        }
    }

    static std::string Retrieval(const std::string& message) {
        std::string out = "+OK " + std::to_string(message.size()) + " octets\r\n";
        for (std::size_t start = 0; start < message.size();) {
            std::size_t end = message.find('\n', start);
            end = end == std::string::npos ? message.size() : end;
            std::string line = message.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            out += (line.starts_with(".") ? "." : "") + line + "\r\n";
            start = end + 1;
        }
        return out + ".\r\n";
    }

    static void Send(int client, const std::string& bytes) {
        for (std::size_t sent = 0; sent < bytes.size();) {
            const ssize_t put = ::send(client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (put <= 0) {
                return;
            }
            sent += static_cast<std::size_t>(put);
        }
    }

    bool ReadLine(int client, std::string& pending, std::string& line) {
        for (;;) {
            if (const auto end = pending.find('\n'); end != std::string::npos) {
                line = pending.substr(0, end + 1);
                pending.erase(0, end + 1);
                return true;
            }
            pollfd entry{client, POLLIN, 0};
            if (stop_ || poll(&entry, 1, 5000) <= 0) {
                return false;
            }
            char buffer[1024];
            const ssize_t received = ::recv(client, buffer, sizeof buffer, 0);
            if (received <= 0) {
                return false;
            }
            pending.append(buffer, static_cast<std::size_t>(received));
        }
    }

    int listener_ = -1;
    unsigned short port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> loseNextQuit_{false};
    std::atomic<bool> turnAway_{false};
    std::atomic<bool> dropAfterFirstRead_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
    std::vector<Clock::time_point> sessions_;
};

} // namespace tarvel::testing
