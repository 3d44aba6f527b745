// TLS on the mail connections against an in-process TLS server with throw-away certificates: a dialogue
// that turns to TLS, and every way the client must refuse a server.

#include "mail/FakeServer.h"
#include "mail/MailConnection.h"
#include "platform/Socket.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <signal.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>

namespace tarvel {
namespace {

using namespace std::chrono_literals;
using testing::FakeServer;
using testing::FakeSession;

constexpr long kDay = 24 * 60 * 60;

struct Identity {
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key{nullptr, &EVP_PKEY_free};
    std::unique_ptr<X509, decltype(&X509_free)> certificate{nullptr, &X509_free};
};

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

// A certificate authority (issuer null: signed by itself) or a server certificate for "localhost" and
// 127.0.0.1, valid until notAfter seconds from now.
Identity MakeIdentity(const char* name, const Identity* issuer, long notAfter = kDay) {
    static long serial = 1;
    Identity made;
    made.key.reset(EVP_EC_gen("P-256"));
    made.certificate.reset(X509_new());
    X509* certificate = made.certificate.get();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial++);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -2 * kDay);
    X509_gmtime_adj(X509_getm_notAfter(certificate), notAfter);
    X509_set_pubkey(certificate, made.key.get());
    X509_NAME_add_entry_by_txt(X509_get_subject_name(certificate), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(name), -1, -1, 0);
    X509* signer = issuer != nullptr ? issuer->certificate.get() : certificate;
    X509_set_issuer_name(certificate, X509_get_subject_name(signer));
    if (issuer == nullptr) {
        AddExtension(certificate, signer, NID_basic_constraints, "critical,CA:TRUE");
        AddExtension(certificate, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        AddExtension(certificate, signer, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
    }
    X509_sign(certificate, (issuer != nullptr ? issuer : &made)->key.get(), EVP_sha256());
    return made;
}

// The university's authority (its PEM file is what the client trusts), a server it signed, one of its
// certificates that has run out, and a server signed by an authority nobody trusts here.
struct Certificates {
    testing::TempDir directory;
    std::string caFile = directory / "university-ca.pem";
    Identity authority = MakeIdentity("Tarvel test CA", nullptr);
    Identity server = MakeIdentity("localhost", &authority);
    Identity expired = MakeIdentity("localhost", &authority, -kDay);
    Identity foreignAuthority = MakeIdentity("Other CA", nullptr);
    Identity foreignServer = MakeIdentity("localhost", &foreignAuthority);

    Certificates() { WritePem(caFile, authority); }

    // Writes the authority's certificate into a new file that takes the path's place.
    static void WritePem(const std::string& path, const Identity& identity) {
        const std::string written = path + ".new";
        {
            std::unique_ptr<BIO, decltype(&BIO_free)> file(BIO_new_file(written.c_str(), "w"), &BIO_free);
            PEM_write_bio_X509(file.get(), identity.certificate.get());
        }
        std::rename(written.c_str(), path.c_str());
    }
};

const Certificates& TestCertificates() {
    static const Certificates certificates;
    return certificates;
}

// The server side of a TLS session on a scripted connection, blocking, with SIGPIPE blocked on the server's
// thread alone: a signal the client raises still ends the test program.
class TlsServer {
public:
    TlsServer(FakeSession& session, const Identity& identity) {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        timeval limit{10, 0};
        setsockopt(session.Descriptor(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_server_method()),
                                                                  &SSL_CTX_free);
        SSL_CTX_use_certificate(context.get(), identity.certificate.get());
        SSL_CTX_use_PrivateKey(context.get(), identity.key.get());
        ssl_.reset(SSL_new(context.get()));
        SSL_set_fd(ssl_.get(), session.Descriptor());
    }

    bool Accept() { return SSL_accept(ssl_.get()) == 1; }

    void Send(std::string_view bytes) {
        std::size_t written = 0;
        SSL_write_ex(ssl_.get(), bytes.data(), bytes.size(), &written);
    }

    // Everything up to and including `end`; what has arrived when the client closes or fails.
    std::string ReadUntil(std::string_view end) {
        std::string text;
        char byte = 0;
        std::size_t read = 0;
        while (!text.ends_with(end) && SSL_read_ex(ssl_.get(), &byte, 1, &read) == 1) {
            text += byte;
        }
        return text;
    }

    void WaitForClose() {
        char byte = 0;
        std::size_t read = 0;
        while (SSL_read_ex(ssl_.get(), &byte, 1, &read) == 1) {
        }
    }

private:
    std::unique_ptr<SSL, decltype(&SSL_free)> ssl_{nullptr, &SSL_free};
};

// A TLS-wrapped large reply: far more than one record of 16 kB.
std::string LargeText(char filler) {
    std::string text;
    for (int line = 0; line < 5000; ++line) {
        text += std::to_string(line) + std::string(1000, filler) + "\r\n";
    }
    return text;
}

HostAndPort TargetOf(const FakeServer& server) {
    HostAndPort target;
    SplitHostSetting(server.HostSetting(), "25", target);
    return target;
}

Socket ConnectTo(const FakeServer& server) {
    const HostAndPort target = TargetOf(server);
    return ConnectTcp(target.host, target.port, 5s);
}

class TlsDialogue : public ::testing::TestWithParam<const char*> {};

TEST_P(TlsDialogue, TurnsToTlsAfterStarttlsAndCarriesLargeTextBothWays) {
    const Certificates& certificates = TestCertificates();
    const std::string reply = LargeText('r');
    const std::string upload = LargeText('u') + ".\r\n";
    std::string serverGot;
    FakeServer server([&](FakeSession& session) {
        session.Send("220 ready\r\n");
        session.ReadLine();
        session.Send("220 go ahead\r\n");
        TlsServer tls(session, certificates.server);
        if (tls.Accept()) {
            serverGot = tls.ReadUntil("\r\n");
            tls.Send("250 hello\r\n" + reply + ".\r\n");
            serverGot += tls.ReadUntil("\r\n.\r\n");
            tls.Send("221 bye\r\n");
        }
    });
    MailConnection connection(5s);
    ASSERT_TRUE(connection.ConnectServer(TargetOf(server)));
    std::string line;
    ASSERT_EQ(connection.ReadLine(line), LineStatus::Line);
    ASSERT_TRUE(connection.SendLine("STARTTLS"));
    ASSERT_EQ(connection.ReadLine(line), LineStatus::Line);
    std::string reason;
    ASSERT_TRUE(connection.StartTls({GetParam(), certificates.caFile}, reason)) << reason;
    ASSERT_TRUE(connection.SendLine("EHLO client"));
    ASSERT_EQ(connection.ReadLine(line), LineStatus::Line);
    EXPECT_EQ(line, "250 hello\r\n");
    std::string received;
    while (connection.ReadLine(line) == LineStatus::Line && line != ".\r\n") {
        received += line;
    }
    EXPECT_EQ(received, reply);
    ASSERT_TRUE(connection.SendRaw(upload));
    ASSERT_EQ(connection.ReadLine(line), LineStatus::Line);
    EXPECT_EQ(line, "221 bye\r\n");
    server.Join();
    EXPECT_EQ(serverGot, "EHLO client\r\n" + upload);
}

INSTANTIATE_TEST_SUITE_P(Hosts, TlsDialogue, ::testing::Values("localhost", "127.0.0.1"),
                         [](const auto& info) { return info.index == 0 ? "Name" : "Address"; });

TEST(Tls, ReadsWhatTheSessionAlreadyHoldsWithoutWaitingForTheSocket) {
    const Certificates& certificates = TestCertificates();
    FakeServer server([&](FakeSession& session) {
        TlsServer tls(session, certificates.server);
        if (tls.Accept()) {
            tls.Send("first\r\nsecond\r\n");
            tls.WaitForClose();
        }
    });
    Socket socket = ConnectTo(server);
    std::string reason;
    ASSERT_TRUE(StartTls(socket, {"localhost", certificates.caFile}, 5s, reason)) << reason;
    std::string text;
    ASSERT_EQ(ReceiveSome(socket, text, 7, 5s), ReceiveStatus::Data);
    EXPECT_EQ(text, "first\r\n");
    // The second line came in the same record: it is decrypted and waiting, the socket itself is empty.
    ASSERT_EQ(ReceiveSome(socket, text, 100, 300ms), ReceiveStatus::Data);
    EXPECT_EQ(text, "first\r\nsecond\r\n");
}

TEST(Tls, WritingToAServerThatHasGoneFailsWithoutASignal) {
    const Certificates& certificates = TestCertificates();
    FakeServer server([&](FakeSession& session) { TlsServer(session, certificates.server).Accept(); });
    Socket socket = ConnectTo(server);
    std::string reason;
    ASSERT_TRUE(StartTls(socket, {"localhost", certificates.caFile}, 5s, reason)) << reason;
    server.Join();
    const std::string block(64 * 1024, 'x');
    bool sent = true;
    for (int attempt = 0; attempt < 5; ++attempt) {
        sent = SendAll(socket, block, 1s);
    }
    EXPECT_FALSE(sent);
}

TEST(Tls, RefusesDataThatCameBeforeTheHandshake) {
    FakeServer server([](FakeSession& session) {
        session.Send("220 ready\r\n250 injected\r\n");
        session.WaitForClose();
    });
    MailConnection connection(5s);
    ASSERT_TRUE(connection.ConnectServer(TargetOf(server)));
    std::string line;
    ASSERT_EQ(connection.ReadLine(line), LineStatus::Line);
    std::string reason;
    EXPECT_FALSE(connection.StartTls({"localhost", TestCertificates().caFile}, reason));
    EXPECT_EQ(reason, "the server sent data before the TLS handshake");
    server.Join();
    EXPECT_EQ(server.Received(), "") << "no handshake may begin";
}

enum class Play {
    Handshake,      // a TLS server with the case's certificate
    DropAfterHello, // reads the ClientHello record, then closes
    Silent,         // answers nothing
    PlainText,      // greets in plain text
};

enum class Presented { Server, Expired, Foreign };
enum class Trust { UniversityCa, SystemOnly, MissingFile };

struct RefusalCase {
    const char* name;
    Play play;
    Presented presented;
    const char* host;
    Trust trust;
    std::chrono::milliseconds timeout;
    const char* reason;
};

void PrintTo(const RefusalCase& refusal, std::ostream* out) {
    *out << refusal.name;
}

const Identity& PresentedIdentity(Presented presented) {
    const Certificates& certificates = TestCertificates();
    switch (presented) {
    case Presented::Server:
        return certificates.server;
    case Presented::Expired:
        return certificates.expired;
    case Presented::Foreign:
        break;
    }
    return certificates.foreignServer;
}

void ReadClientHello(int descriptor) {
    unsigned char header[5];
    if (recv(descriptor, header, sizeof header, MSG_WAITALL) == sizeof header) {
        std::string body(static_cast<std::size_t>(header[3] << 8 | header[4]), '\0');
        recv(descriptor, body.data(), body.size(), MSG_WAITALL);
    }
}

void Serve(const RefusalCase& refusal, FakeSession& session) {
    switch (refusal.play) {
    case Play::Handshake:
        TlsServer(session, PresentedIdentity(refusal.presented)).Accept();
        return;
    case Play::DropAfterHello:
        ReadClientHello(session.Descriptor());
        return;
    case Play::PlainText:
        session.Send("220 plain greeting\r\n");
        break;
    case Play::Silent:
        break;
    }
    session.WaitForClose();
}

std::string CaFile(Trust trust) {
    switch (trust) {
    case Trust::UniversityCa:
        return TestCertificates().caFile;
    case Trust::SystemOnly:
        return "";
    case Trust::MissingFile:
        break;
    }
    return "/nonexistent/university-ca.pem";
}

const RefusalCase kRefusals[] = {
    {"ForeignAuthority", Play::Handshake, Presented::Foreign, "localhost", Trust::UniversityCa, 5s,
     "certificate not trusted: unable to get local issuer certificate"},
    {"SystemStoreOnly", Play::Handshake, Presented::Server, "localhost", Trust::SystemOnly, 5s,
     "certificate not trusted: unable to get local issuer certificate"},
    {"Expired", Play::Handshake, Presented::Expired, "localhost", Trust::UniversityCa, 5s,
     "certificate not trusted: certificate has expired"},
    {"WrongName", Play::Handshake, Presented::Server, "tarvel.invalid", Trust::UniversityCa, 5s,
     "certificate does not match host tarvel.invalid"},
    {"WrongAddress", Play::Handshake, Presented::Server, "127.0.0.2", Trust::UniversityCa, 5s,
     "certificate does not match host 127.0.0.2"},
    {"MissingCaFile", Play::Handshake, Presented::Server, "localhost", Trust::MissingFile, 5s,
     "cannot read CA file /nonexistent/university-ca.pem"},
    {"DropDuringHandshake", Play::DropAfterHello, Presented::Server, "localhost", Trust::UniversityCa, 5s,
     "connection closed during the TLS handshake"},
    {"SilentServer", Play::Silent, Presented::Server, "localhost", Trust::UniversityCa, 300ms,
     "TLS handshake timed out"},
    {"PlainTextServer", Play::PlainText, Presented::Server, "localhost", Trust::UniversityCa, 5s,
     "TLS handshake failed: wrong version number"},
};

class TlsRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(TlsRefusal, FailsWithItsReasonAndClosesTheConnection) {
    const RefusalCase& refusal = GetParam();
    FakeServer server([&](FakeSession& session) { Serve(refusal, session); });
    Socket socket = ConnectTo(server);
    ASSERT_TRUE(socket.IsOpen());
    std::string reason;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(StartTls(socket, {refusal.host, CaFile(refusal.trust)}, refusal.timeout, reason));
    EXPECT_LT(std::chrono::steady_clock::now() - started, refusal.timeout + 1s);
    EXPECT_EQ(reason, refusal.reason);
    EXPECT_FALSE(socket.IsOpen());
}

// The trusted authorities are kept between connections: they must follow the CA file when it is put in place,
// replaced by another authority's or removed.
TEST(Tls, TrustsWhatTheCaFileHoldsAtEachConnection) {
    const Certificates& certificates = TestCertificates();
    testing::TempDir directory;
    const std::string caFile = directory / "ca.pem";
    const auto handshake = [&] {
        FakeServer server([&](FakeSession& session) { TlsServer(session, certificates.server).Accept(); });
        Socket socket = ConnectTo(server);
        std::string reason;
        StartTls(socket, {"localhost", caFile}, 5s, reason);
        return reason;
    };
    const std::string untrusted = "certificate not trusted: unable to get local issuer certificate";
    const struct {
        const Identity* authority; // null: the file is removed
        std::string reason;
    } steps[] = {
        {nullptr, "cannot read CA file " + caFile},  {&certificates.authority, ""},
        {&certificates.foreignAuthority, untrusted}, {&certificates.authority, ""},
        {nullptr, "cannot read CA file " + caFile},
    };
    for (const auto& step : steps) {
        if (step.authority != nullptr) {
            Certificates::WritePem(caFile, *step.authority);
        } else {
            std::remove(caFile.c_str());
        }
        EXPECT_EQ(handshake(), step.reason) << (step.authority ? "" : "no file");
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, TlsRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tarvel
