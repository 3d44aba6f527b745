#pragma once
// An in-process TCP server on loopback that plays one scripted conversation, for injecting the faults a real
// mail server will not produce on demand. It records every byte the client sent.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace tarvel::testing {

class FakeSession {
public:
    explicit FakeSession(int descriptor, std::function<void(std::string_view)> record)
        : descriptor_(descriptor), record_(std::move(record)) {}

    // The connection itself, for a script that speaks a protocol of its own on it (TLS).
    int Descriptor() const { return descriptor_; }

    void Send(std::string_view bytes) {
        while (!bytes.empty()) {
            ssize_t sent = ::send(descriptor_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) {
                return;
            }
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
    }

    // Sends the bytes after a pause, so that the client certainly reads them in a read of their own.
    void SendLater(std::string_view bytes) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Send(bytes);
    }

    // One line from the client, its line end included; empty when the client closed or went silent for 10 s.
    std::string ReadLine() { return ReadUntil("\n"); }

    std::string ReadUntil(std::string_view end) {
        for (;;) {
            if (auto found = pending_.find(end); found != std::string::npos) {
                std::string part = pending_.substr(0, found + end.size());
                pending_.erase(0, found + end.size());
                return part;
            }
            pollfd entry{descriptor_, POLLIN, 0};
            if (poll(&entry, 1, 10'000) <= 0) {
                return {};
            }
            char buffer[4096];
            ssize_t received = ::recv(descriptor_, buffer, sizeof buffer, 0);
            if (received <= 0) {
                return {};
            }
            record_(std::string_view(buffer, static_cast<std::size_t>(received)));
            pending_.append(buffer, static_cast<std::size_t>(received));
        }
    }

    // Waits until the client closes the connection (or 10 s pass).
    void WaitForClose() {
        while (!ReadLine().empty()) {
        }
    }

private:
    int descriptor_;
    std::function<void(std::string_view)> record_;
    std::string pending_;
};

class FakeServer {
public:
    using Script = std::function<void(FakeSession&)>;

    explicit FakeServer(Script script) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 4);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, script = std::move(script)] { Serve(script); });
    }

    ~FakeServer() {
        stop_ = true;
        Join();
        ::close(listener_);
    }

    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    std::string HostSetting() const { return "127.0.0.1:" + std::to_string(port_); }

    // Everything the client has sent so far.
    std::string Received() const {
        std::lock_guard lock(mutex_);
        return received_;
    }

    bool WasConnected() const { return connected_; }

    // Waits for the script to end.
    void Join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

private:
    void Serve(const Script& script) {
        while (!stop_) {
            pollfd entry{listener_, POLLIN, 0};
            if (poll(&entry, 1, 20) <= 0) {
                continue;
            }
            int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) {
                continue;
            }
            connected_ = true;
            FakeSession session(client, [this](std::string_view bytes) {
                std::lock_guard lock(mutex_);
                received_ += bytes;
            });
            script(session);
            ::close(client);
            return;
        }
    }

    int listener_ = -1;
    unsigned short port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> connected_{false};
    mutable std::mutex mutex_;
    std::string received_;
};

} // namespace tarvel::testing
