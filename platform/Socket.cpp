#include "platform/Socket.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarvel {

namespace {

using Clock = std::chrono::steady_clock;

bool IsValidPort(std::string_view port) {
    if (port.empty() || port.size() > 5) {
        return false;
    }
    int value = 0;
    auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    return error == std::errc() && end == port.data() + port.size() && value >= 1 && value <= 65535;
}

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the event until the deadline; false on time-out or error. Retries after signals.
bool WaitFor(int descriptor, short event, Clock::time_point deadline) {
    for (;;) {
        pollfd entry{descriptor, event, 0};
        int ready = poll(&entry, 1, MillisecondsLeft(deadline));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

Socket ConnectOne(const addrinfo& address, Clock::time_point deadline) {
    Socket socket(
        ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol));
    if (!socket.IsOpen()) {
        return {};
    }
    int one = 1;
    setsockopt(socket.Descriptor(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (connect(socket.Descriptor(), address.ai_addr, address.ai_addrlen) == 0) {
        return socket;
    }
    if (errno != EINPROGRESS || !WaitFor(socket.Descriptor(), POLLOUT, deadline)) {
        return {};
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(socket.Descriptor(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        return {};
    }
    return socket;
}

} // namespace

bool SplitHostSetting(std::string_view setting, std::string_view defaultPort, HostAndPort& out) {
    std::string_view host = setting;
    std::string_view port = defaultPort;
    if (!setting.empty() && setting.front() == '[') {
        auto close = setting.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        host = setting.substr(1, close - 1);
        auto rest = setting.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                return false;
            }
            port = rest.substr(1);
        }
    } else if (auto colon = setting.find(':');
               colon != std::string_view::npos && setting.find(':', colon + 1) == std::string_view::npos) {
        host = setting.substr(0, colon);
        port = setting.substr(colon + 1);
    }
    if (host.empty() || !IsValidPort(port)) {
        return false;
    }
    out.host = std::string(host);
    out.port = std::string(port);
    return true;
}

std::string HostWithoutPort(std::string_view setting) {
    HostAndPort split;
    if (SplitHostSetting(setting, "1", split)) {
        return split.host;
    }
    return std::string(setting);
}

Socket::~Socket() {
    Close();
}

Socket::Socket(Socket&& other) noexcept : descriptor_(other.descriptor_) {
    other.descriptor_ = -1;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        descriptor_ = other.descriptor_;
        other.descriptor_ = -1;
    }
    return *this;
}

void Socket::Close() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

Socket ConnectTcp(const std::string& host, const std::string& port, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || found == nullptr) {
        return {};
    }
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, &freeaddrinfo);
    for (const addrinfo* address = addresses.get(); address != nullptr; address = address->ai_next) {
        if (Socket socket = ConnectOne(*address, deadline); socket.IsOpen()) {
            return socket;
        }
        if (Clock::now() >= deadline) {
            break;
        }
    }
    return {};
}

bool SendAll(Socket& socket, std::string_view bytes, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (!bytes.empty()) {
        ssize_t sent = send(socket.Descriptor(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            WaitFor(socket.Descriptor(), POLLOUT, deadline)) {
            continue;
        }
        return false;
    }
    return true;
}

ReceiveStatus ReceiveSome(Socket& socket, std::string& out, std::size_t maxBytes,
                          std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    std::size_t before = out.size();
    out.resize(before + maxBytes);
    for (;;) {
        ssize_t received = recv(socket.Descriptor(), out.data() + before, maxBytes, 0);
        if (received > 0) {
            out.resize(before + static_cast<std::size_t>(received));
            return ReceiveStatus::Data;
        }
        if (received == 0) {
            out.resize(before);
            return ReceiveStatus::Closed;
        }
        if (errno == EINTR) {
            continue;
        }
        if ((errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitFor(socket.Descriptor(), POLLIN, deadline)) {
                continue;
            }
            out.resize(before);
            return Clock::now() >= deadline ? ReceiveStatus::TimedOut : ReceiveStatus::Failed;
        }
        out.resize(before);
        return ReceiveStatus::Failed;
    }
}

} // namespace tarvel
