#pragma once
// TCP client connections for the mail dialogues: host settings with an optional port, connecting, writing and
// reading, each bounded by a time-out so that a silent server cannot hold a thread for ever. A connection can
// turn to TLS; writing and reading then go through the TLS session with the same contracts, so the dialogues
// above are one code for plain and protected servers.

#include <chrono>
#include <cstddef>
#include <memory>
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

enum class ReceiveStatus {
    Data,     // at least one byte was appended
    Closed,   // the peer closed the connection
    TimedOut, // nothing arrived within the time-out
    Failed,   // the connection broke
};

// What a TLS client checks of the server.
struct TlsSettings {
    std::string host;   // the name (or IP address) the server's certificate must carry, also sent as SNI
    std::string caFile; // PEM file of further trusted certificate authorities, "" for the system's own only
};

struct TlsChannel;

// One connected TCP socket, plain or with a TLS session on it; closed (the session with it) when the object
// goes.
class Socket {
public:
    Socket();
    explicit Socket(int descriptor);
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool IsOpen() const { return descriptor_ >= 0; }
    int Descriptor() const { return descriptor_; }
    // Ends a TLS session (its close_notify sent if the socket takes it at once) and closes the socket.
    void Close();

private:
    friend bool StartTls(Socket&, const TlsSettings&, std::chrono::milliseconds, std::string&);
    friend bool SendAll(Socket&, std::string_view, std::chrono::milliseconds);
    friend ReceiveStatus ReceiveSome(Socket&, std::string&, std::size_t, std::chrono::milliseconds);

    int descriptor_ = -1;
    std::unique_ptr<TlsChannel> tls_;
};

// Resolves the host and connects to the first of its addresses that answers within the time-out. The socket
// has TCP_NODELAY set: the dialogues wait for an answer after every write, so small writes must not be held
// back. Returns a closed Socket on failure.
Socket ConnectTcp(const std::string& host, const std::string& port, std::chrono::milliseconds timeout);

// Runs a TLS client handshake (TLS 1.2 at least) on the connected plain socket within the time-out. The
// server's certificate must chain to the system's trust store or to a certificate in settings.caFile, and
// carry settings.host. On failure the socket is closed and `reason` says why, one of: "certificate not
// trusted: <what the check found>", "certificate does not match host <host>", "TLS handshake failed: <what
// went wrong>", "connection closed during the TLS handshake", "TLS handshake timed out", "cannot read CA file
// <path>". No signal is raised when the peer has gone.
bool StartTls(Socket& socket, const TlsSettings& settings, std::chrono::milliseconds timeout,
              std::string& reason);

// Writes all bytes; false when the connection broke or the peer took nothing for the length of the time-out.
bool SendAll(Socket& socket, std::string_view bytes, std::chrono::milliseconds timeout);

// Appends what one read delivers, at most maxBytes, after waiting at most the time-out for it. A TLS peer
// that closes without saying so first counts as Closed too: the readers above never take a reply cut short.
ReceiveStatus ReceiveSome(Socket& socket, std::string& out, std::size_t maxBytes,
                          std::chrono::milliseconds timeout);

} // namespace tarvel
