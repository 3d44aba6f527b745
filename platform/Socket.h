#pragma once
// TCP client connections for the mail dialogues: host settings with an optional port, connecting, writing and
// reading, each bounded by a time-out so that a silent server cannot hold a thread for ever.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace tarvel {

// A host setting split into the name to resolve and the port to connect to.
struct HostAndPort {
    std::string host;
    std::string port;
};

// "host", "host:port", "[v6 address]:port" or a bare IPv6 address. The port must be a decimal number from 1
// to 65535; without one, defaultPort is used. False for an empty host or a malformed port.
bool SplitHostSetting(std::string_view setting, std::string_view defaultPort, HostAndPort& out);

// The host of a setting without its port: what HELO, sender addresses and signatures name.
std::string HostWithoutPort(std::string_view setting);

// One connected TCP socket; closed when the object goes.
class Socket {
public:
    Socket() = default;
    explicit Socket(int descriptor) : descriptor_(descriptor) {}
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool IsOpen() const { return descriptor_ >= 0; }
    int Descriptor() const { return descriptor_; }
    void Close();

private:
    int descriptor_ = -1;
};

enum class ReceiveStatus {
    Data,     // at least one byte was appended
    Closed,   // the peer closed the connection
    TimedOut, // nothing arrived within the time-out
    Failed,   // the connection broke
};

// Resolves the host and connects to the first of its addresses that answers within the time-out. The socket
// has TCP_NODELAY set: the dialogues wait for an answer after every write, so small writes must not be held
// back. Returns a closed Socket on failure.
Socket ConnectTcp(const std::string& host, const std::string& port, std::chrono::milliseconds timeout);

// Writes all bytes; false when the connection broke or the peer took nothing for the length of the time-out.
bool SendAll(Socket& socket, std::string_view bytes, std::chrono::milliseconds timeout);

// Appends what one read delivers, at most maxBytes, after waiting at most the time-out for it.
ReceiveStatus ReceiveSome(Socket& socket, std::string& out, std::size_t maxBytes,
                          std::chrono::milliseconds timeout);

} // namespace tarvel
