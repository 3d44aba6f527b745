#include "platform/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvel {

// The TLS session on one socket. OpenSSL reads and writes the descriptor through a transport of its own
// (TransportMethod below), so that TLS writes carry MSG_NOSIGNAL as the plain ones do.
struct TlsChannel {
    int descriptor = -1;
    bool peerClosed = false; // the transport read the end of the stream
    int transportError = 0;  // errno of the transport's last failure
    bool broken = false;     // the session failed: no close_notify can follow
    std::unique_ptr<SSL, decltype(&SSL_free)> ssl{nullptr, &SSL_free};
};

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
// A mail server that sends its reply in more than one segment (a TLS server its session tickets, then the
// greeting) may hold the second back until the first is acknowledged; the delayed acknowledgement would then
// stall the dialogue some 40 ms per reply. So the acknowledgements go out at once while a reply is awaited.
bool WaitFor(int descriptor, short event, Clock::time_point deadline) {
    if (event == POLLIN) {
        int one = 1;
        setsockopt(descriptor, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
    }
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

bool SendPlain(int descriptor, std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        ssize_t sent = send(descriptor, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(descriptor, POLLOUT, deadline)) {
            continue;
        }
        return false;
    }
    return true;
}

ReceiveStatus ReceivePlain(int descriptor, char* data, std::size_t maxBytes, Clock::time_point deadline,
                           std::size_t& received) {
    for (;;) {
        ssize_t result = recv(descriptor, data, maxBytes, 0);
        if (result > 0) {
            received = static_cast<std::size_t>(result);
            return ReceiveStatus::Data;
        }
        if (result == 0) {
            return ReceiveStatus::Closed;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return ReceiveStatus::Failed;
        }
        if (!WaitFor(descriptor, POLLIN, deadline)) {
            return Clock::now() >= deadline ? ReceiveStatus::TimedOut : ReceiveStatus::Failed;
        }
    }
}

TlsChannel& ChannelOf(BIO* transport) {
    return *static_cast<TlsChannel*>(BIO_get_data(transport));
}

// After a send or recv that failed: a socket that would block asks OpenSSL to try again (direction is
// BIO_FLAGS_READ or BIO_FLAGS_WRITE); any other error is kept for the failure's reason.
int TransportFailed(BIO* transport, TlsChannel& channel, int direction) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
        BIO_set_flags(transport, direction | BIO_FLAGS_SHOULD_RETRY);
    } else {
        channel.transportError = errno;
    }
    return 0;
}

int TransportWrite(BIO* transport, const char* data, std::size_t length, std::size_t* written) {
    TlsChannel& channel = ChannelOf(transport);
    BIO_clear_retry_flags(transport);
    for (;;) {
        ssize_t sent = send(channel.descriptor, data, length, MSG_NOSIGNAL);
        if (sent >= 0) {
            *written = static_cast<std::size_t>(sent);
            return 1;
        }
        if (errno != EINTR) {
            return TransportFailed(transport, channel, BIO_FLAGS_WRITE);
        }
    }
}

int TransportRead(BIO* transport, char* data, std::size_t length, std::size_t* read) {
    TlsChannel& channel = ChannelOf(transport);
    BIO_clear_retry_flags(transport);
    for (;;) {
        ssize_t received = recv(channel.descriptor, data, length, 0);
        if (received > 0) {
            *read = static_cast<std::size_t>(received);
            return 1;
        }
        if (received == 0) {
            channel.peerClosed = true;
            return 0;
        }
        if (errno != EINTR) {
            return TransportFailed(transport, channel, BIO_FLAGS_READ);
        }
    }
}

long TransportControl(BIO* transport, int command, long, void*) {
    switch (command) {
    case BIO_CTRL_FLUSH:
        return 1;
    case BIO_CTRL_EOF:
        return ChannelOf(transport).peerClosed ? 1 : 0;
    default:
        return 0;
    }
}

BIO_METHOD* MakeTransportMethod() {
    BIO_METHOD* method = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tarvel socket");
    if (method != nullptr) {
        BIO_meth_set_write_ex(method, TransportWrite);
        BIO_meth_set_read_ex(method, TransportRead);
        BIO_meth_set_ctrl(method, TransportControl);
    }
    return method;
}

const BIO_METHOD* TransportMethod() {
    static const std::unique_ptr<BIO_METHOD, decltype(&BIO_meth_free)> method(MakeTransportMethod(),
                                                                              &BIO_meth_free);
    return method.get();
}

// The most precise thing OpenSSL or the transport said about the last failure.
std::string LastTlsError(const TlsChannel& channel) {
    if (const char* text = ERR_reason_error_string(ERR_peek_last_error()); text != nullptr) {
        return text;
    }
    return channel.transportError != 0 ? std::strerror(channel.transportError) : "unknown error";
}

bool IsAddressLiteral(const std::string& host) {
    unsigned char address[sizeof(in6_addr)];
    return inet_pton(AF_INET, host.c_str(), address) == 1 || inet_pton(AF_INET6, host.c_str(), address) == 1;
}

// Names are checked by OpenSSL during the handshake and sent as SNI; an address literal is matched against
// the certificate's IP addresses and, as TLS wants, not sent.
bool ExpectHost(SSL* ssl, const std::string& host) {
    if (IsAddressLiteral(host)) {
        return X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str()) == 1;
    }
    SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    return SSL_set_tlsext_host_name(ssl, host.c_str()) == 1 && SSL_set1_host(ssl, host.c_str()) == 1;
}

// A client context trusting the system's store and the CA file, with TLS 1.2 at least; null with the reason.
std::shared_ptr<SSL_CTX> NewClientContext(const TlsChannel& channel, const std::string& caFile,
                                          std::string& reason) {
    std::shared_ptr<SSL_CTX> context(SSL_CTX_new(TLS_client_method()), &SSL_CTX_free);
    if (context == nullptr || SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) != 1 ||
        SSL_CTX_set_default_verify_paths(context.get()) != 1) {
        reason = "TLS handshake failed: " + LastTlsError(channel);
        return nullptr;
    }
    if (!caFile.empty() && SSL_CTX_load_verify_locations(context.get(), caFile.c_str(), nullptr) != 1) {
        reason = "cannot read CA file " + caFile;
        return nullptr;
    }
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_mode(context.get(), SSL_MODE_ENABLE_PARTIAL_WRITE);
    return context;
}

// What tells one version of the CA file from another: a file replaced or rewritten gets another stamp.
std::string FileStamp(const std::string& path) {
    struct stat status {};
    if (path.empty() || ::stat(path.c_str(), &status) != 0) {
        return {};
    }
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino) + ":" +
           std::to_string(status.st_size) + ":" + std::to_string(status.st_mtim.tv_sec) + "." +
           std::to_string(status.st_mtim.tv_nsec);
}

// Loading the system's trust store costs more than the rest of a handshake on a local network, and the daemon
// connects once a second; so one context per CA file is kept and shared by the threads (OpenSSL allows that
// once it is set up) for as long as the file keeps its stamp. Failures are not kept: a CA file put in place
// later is read at the next connection.
std::shared_ptr<SSL_CTX> ClientContext(const TlsChannel& channel, const std::string& caFile,
                                       std::string& reason) {
    struct Kept {
        std::string stamp;
        std::shared_ptr<SSL_CTX> context;
    };
    static std::mutex mutex;
    static std::map<std::string, Kept> kept;
    const std::string stamp = FileStamp(caFile);
    const std::lock_guard lock(mutex);
    if (const auto found = kept.find(caFile); found != kept.end() && found->second.stamp == stamp) {
        return found->second.context;
    }
    std::shared_ptr<SSL_CTX> context = NewClientContext(channel, caFile, reason);
    if (context != nullptr) {
        kept[caFile] = {stamp, context};
    }
    return context;
}

bool OpenSession(TlsChannel& channel, const TlsSettings& settings, std::string& reason) {
    ERR_clear_error();
    // An empty name would switch the host check off.
    if (settings.host.empty()) {
        reason = "TLS handshake failed: no host name to check the certificate against";
        return false;
    }
    const std::shared_ptr<SSL_CTX> context = ClientContext(channel, settings.caFile, reason);
    if (context == nullptr) {
        return false;
    }
    channel.ssl.reset(SSL_new(context.get()));
    BIO* transport = channel.ssl != nullptr ? BIO_new(TransportMethod()) : nullptr;
    if (transport == nullptr) {
        reason = "TLS handshake failed: " + LastTlsError(channel);
        return false;
    }
    BIO_set_data(transport, &channel);
    BIO_set_init(transport, 1);
    SSL_set_bio(channel.ssl.get(), transport, transport);
    if (!ExpectHost(channel.ssl.get(), settings.host)) {
        reason = "TLS handshake failed: " + LastTlsError(channel);
        return false;
    }
    return true;
}

bool IsWant(int error) {
    return error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE;
}

// Waits for the readiness that the session asked for with SSL_ERROR_WANT_READ or SSL_ERROR_WANT_WRITE.
bool WaitForSession(const TlsChannel& channel, int want, Clock::time_point deadline) {
    return WaitFor(channel.descriptor, want == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline);
}

std::string HandshakeFailure(const TlsChannel& channel, const std::string& host) {
    long verdict = SSL_get_verify_result(channel.ssl.get());
    if (verdict == X509_V_ERR_HOSTNAME_MISMATCH || verdict == X509_V_ERR_IP_ADDRESS_MISMATCH) {
        return "certificate does not match host " + host;
    }
    if (verdict != X509_V_OK) {
        return std::string("certificate not trusted: ") + X509_verify_cert_error_string(verdict);
    }
    if (channel.peerClosed) {
        return "connection closed during the TLS handshake";
    }
    return "TLS handshake failed: " + LastTlsError(channel);
}

bool Handshake(TlsChannel& channel, const std::string& host, Clock::time_point deadline,
               std::string& reason) {
    for (;;) {
        ERR_clear_error();
        int result = SSL_connect(channel.ssl.get());
        if (result == 1) {
            return true;
        }
        int error = SSL_get_error(channel.ssl.get(), result);
        if (!IsWant(error)) {
            reason = HandshakeFailure(channel, host);
            return false;
        }
        if (!WaitForSession(channel, error, deadline)) {
            reason = Clock::now() >= deadline ? "TLS handshake timed out"
                                              : "TLS handshake failed: " + std::string(std::strerror(errno));
            return false;
        }
    }
}

bool SendTls(TlsChannel& channel, std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        ERR_clear_error();
        std::size_t written = 0;
        int result = SSL_write_ex(channel.ssl.get(), bytes.data(), bytes.size(), &written);
        if (result == 1) {
            bytes.remove_prefix(written);
            continue;
        }
        int error = SSL_get_error(channel.ssl.get(), result);
        if (!IsWant(error)) {
            channel.broken = true;
            return false;
        }
        if (!WaitForSession(channel, error, deadline)) {
            return false;
        }
    }
    return true;
}

// Reads before it waits: what OpenSSL already holds decrypted never shows on the descriptor, so waiting first
// could sit out the time-out with a reply at hand.
ReceiveStatus ReceiveTls(TlsChannel& channel, char* data, std::size_t maxBytes, Clock::time_point deadline,
                         std::size_t& received) {
    for (;;) {
        ERR_clear_error();
        if (SSL_read_ex(channel.ssl.get(), data, maxBytes, &received) == 1) {
            return ReceiveStatus::Data;
        }
        int error = SSL_get_error(channel.ssl.get(), 0);
        if (error == SSL_ERROR_ZERO_RETURN) {
            return ReceiveStatus::Closed;
        }
        if (!IsWant(error)) {
            channel.broken = true;
            return channel.peerClosed ? ReceiveStatus::Closed : ReceiveStatus::Failed;
        }
        if (!WaitForSession(channel, error, deadline)) {
            return Clock::now() >= deadline ? ReceiveStatus::TimedOut : ReceiveStatus::Failed;
        }
    }
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

Socket::Socket() = default;

Socket::Socket(int descriptor) : descriptor_(descriptor) {}

Socket::~Socket() {
    Close();
}

Socket::Socket(Socket&& other) noexcept : descriptor_(other.descriptor_), tls_(std::move(other.tls_)) {
    other.descriptor_ = -1;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        descriptor_ = other.descriptor_;
        tls_ = std::move(other.tls_);
        other.descriptor_ = -1;
    }
    return *this;
}

void Socket::Close() {
    if (tls_) {
        // The close_notify goes out if the socket takes it now; the peer's answer is not waited for.
        if (!tls_->broken) {
            SSL_shutdown(tls_->ssl.get());
        }
        tls_.reset();
    }
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

bool StartTls(Socket& socket, const TlsSettings& settings, std::chrono::milliseconds timeout,
              std::string& reason) {
    auto deadline = Clock::now() + timeout;
    auto channel = std::make_unique<TlsChannel>();
    channel->descriptor = socket.Descriptor();
    if (!OpenSession(*channel, settings, reason) || !Handshake(*channel, settings.host, deadline, reason)) {
        socket.Close();
        return false;
    }
    socket.tls_ = std::move(channel);
    return true;
}

bool SendAll(Socket& socket, std::string_view bytes, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    return socket.tls_ ? SendTls(*socket.tls_, bytes, deadline)
                       : SendPlain(socket.Descriptor(), bytes, deadline);
}

ReceiveStatus ReceiveSome(Socket& socket, std::string& out, std::size_t maxBytes,
                          std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    std::size_t before = out.size();
    out.resize(before + maxBytes);
    std::size_t received = 0;
    ReceiveStatus status =
        socket.tls_ ? ReceiveTls(*socket.tls_, out.data() + before, maxBytes, deadline, received)
                    : ReceivePlain(socket.Descriptor(), out.data() + before, maxBytes, deadline, received);
    out.resize(before + received);
    return status;
}

} // namespace tarvel
