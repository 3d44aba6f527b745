// Finding and decoding the zip archive of a submission mail in the forms students' mail programs send.

#include "mail/Attachment.h"
#include "mail/MailMessage.h"

#include "mail/SubmissionMail.h"
#include "mail/ZipBuilder.h"

#include <gtest/gtest.h>

#include <functional>

namespace tarvel {
namespace {

using namespace testing;

// Every byte value, and a length that leaves a partial uuencode line and a partial base64 group.
std::string SampleArchive(std::size_t size = 1000) {
    std::string bytes = ZipBuilder().File("main.c", "int main(void) { return 0; }\n").Bytes();
    for (std::size_t i = 0; bytes.size() < size; ++i) {
        bytes += static_cast<char>(i * 37 % 256);
    }
    return bytes;
}

struct FoundCase {
    const char* name;
    std::function<std::string(const std::string& zip)> mail;
};

class AttachmentFound : public ::testing::TestWithParam<FoundCase> {};

TEST_P(AttachmentFound, DecodesTheArchiveByteForByte) {
    const std::string zip = SampleArchive();
    std::string archive;
    std::string reason;
    ASSERT_TRUE(FindZipAttachment(GetParam().mail(zip), archive, reason)) << reason;
    EXPECT_EQ(archive, zip);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, AttachmentFound,
    ::testing::Values(
        FoundCase{"Uuencoded", [](const std::string& zip) { return UuencodedMail(zip); }},
        FoundCase{"UuencodedWithCrLf",
                  [](const std::string& zip) {
                      std::string mail;
                      for (const char c : UuencodedMail(zip)) {
                          mail += c == '\n' ? std::string("\r\n") : std::string(1, c);
                      }
                      return mail;
                  }},
        FoundCase{"UuencodedWithTrailingBlanksStripped",
                  [](const std::string& zip) {
                      // Transports strip trailing blanks; the classic encoder wrote zeros as blanks.
                      std::string encoded = Uuencode(zip, "z.zip");
                      for (char& c : encoded) {
                          c = c == '`' ? ' ' : c;
                      }
                      std::string stripped;
                      std::size_t start = 0;
                      while (start < encoded.size()) {
                          std::size_t end = encoded.find('\n', start);
                          std::string line = encoded.substr(start, end - start);
                          while (!line.empty() && line.back() == ' ') {
                              line.pop_back();
                          }
                          stripped += line + "\n";
                          start = end + 1;
                      }
                      return PlainMail(stripped);
                  }},
        FoundCase{"UuencodedWithoutHeaders", [](const std::string& zip) { return Uuencode(zip, "z.zip"); }},
        FoundCase{"BeginBase64", [](const std::string& zip) { return PlainMail(BeginBase64(zip, "z.zip")); }},
        FoundCase{"MimeAttachment", [](const std::string& zip) { return MimeMail(zip); }},
        FoundCase{"MimeOctetStreamNamedZip",
                  [](const std::string& zip) {
                      return MimeMail(zip, "Content-Type: application/octet-stream\n"
                                           "Content-Disposition: attachment;\n filename=\"ZADANIE.ZIP\"\n");
                  }},
        FoundCase{
            "MimeOctetStreamRecognisedByItsBytes",
            [](const std::string& zip) { return MimeMail(zip, "Content-Type: application/octet-stream\n"); }},
        FoundCase{"MimeNestedAlternativeBeforeTheAttachment",
                  [](const std::string& zip) {
                      return "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=outer\n\n"
                             "--outer\nContent-Type: multipart/alternative; boundary=\"inner\"\n\n"
                             "--inner\nContent-Type: text/plain\n\nAhoj\n--inner\nContent-Type: text/html\n\n"
                             "<p>Ahoj</p>\n--inner--\n\n--outer\nContent-Type: application/x-zip-compressed; "
                             "name=z.zip\nContent-Transfer-Encoding: base64\n\n" +
                             Base64(zip) + "--outer--\n";
                  }},
        FoundCase{"UuencodedInsideAQuotedPrintableTextPart",
                  [](const std::string& zip) {
                      std::string quoted;
                      for (const char c : Uuencode(zip, "z.zip")) {
                          quoted += c == '=' ? std::string("=3D") : std::string(1, c);
                      }
                      return "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n"
                             "Content-Type: text/plain\nContent-Transfer-Encoding: quoted-printable\n\n" +
                             quoted + "--b--\n";
                  }},
        FoundCase{"ImageBeforeTheArchiveIsSkipped",
                  [](const std::string& zip) {
                      return "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n"
                             "Content-Type: image/png; name=a.png\nContent-Transfer-Encoding: base64\n\n" +
                             Base64("\x89PNG not a zip") +
                             "--b\nContent-Type: application/zip\n"
                             "Content-Transfer-Encoding: base64\n\n" +
                             Base64(zip) + "--b--\n";
                  }}),
    [](const auto& info) { return info.param.name; });

struct BrokenCase {
    const char* name;
    std::string mail;
    const char* reason;
};

class AttachmentBroken : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(AttachmentBroken, IsRefusedWithAReason) {
    std::string archive = "untouched";
    std::string reason;
    EXPECT_FALSE(FindZipAttachment(GetParam().mail, archive, reason));
    EXPECT_EQ(reason, GetParam().reason);
    EXPECT_EQ(archive, "untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Mails, AttachmentBroken,
    ::testing::Values(
        BrokenCase{"NoAttachment", PlainMail("Dobry den, zadanie poslem zajtra.\nbegin the work soon\n"),
                   "no zip attachment"},
        BrokenCase{"UuencodeNeverEnds", PlainMail("begin 644 z.zip\nM" + std::string(60, 'A') + "\n"),
                   "uuencoded attachment damaged or incomplete"},
        BrokenCase{"UuencodeWithCharacterOutsideItsRange", PlainMail("begin 644 z.zip\n#abc\n`\nend\n"),
                   "uuencoded attachment damaged or incomplete"},
        BrokenCase{"BeginBase64WithoutItsEnd", PlainMail("begin-base64 644 z.zip\nUEsDBA==\n"),
                   "begin-base64 attachment without its ==== line"},
        BrokenCase{"EmptyUuencodedBlock", PlainMail("begin 644 z.zip\n`\nend\n"), "empty attachment"},
        BrokenCase{"MimeZipWithBrokenBase64",
                   "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n"
                   "Content-Type: application/zip\nContent-Transfer-Encoding: base64\n\nUEsDB\n--b--\n",
                   "base64 attachment damaged"}),
    [](const auto& info) { return info.param.name; });

TEST(Base64, SkipsLineEndsAndStopsAtPadding) {
    std::string out;
    ASSERT_TRUE(DecodeBase64("SGVs\r\nbG8=\r\nignored", out));
    EXPECT_EQ(out, "Hello");
    EXPECT_FALSE(DecodeBase64("SGVsb", out));
}

TEST(Uuencode, LineShorterThanItsLengthCountsMissingCharactersAsZeros) {
    std::string out;
    ASSERT_TRUE(DecodeUuencodedLines("#86)C\n`\nend\n", out));
    EXPECT_EQ(out, "abc");
    ASSERT_TRUE(DecodeUuencodedLines("$86)C\n`\n", out));
    EXPECT_EQ(out, std::string("abc\0", 4));
}

// Dovecot stuffs a line that begins with "."; a uuencoded line of 14 bytes begins with "." (32 + 14), so an
// archive whose size is 14 more than a multiple of 45 decodes right only when the stuffing is undone.
TEST(Uuencode, LastLineOfFourteenBytesSurvivesPop3DotStuffing) {
    ZipBuilder builder;
    builder.File("main.c", "int main(void) { return 0; }\n");
    const std::size_t size = builder.Bytes().size();
    builder.Comment(std::string((14 + 45 - size % 45) % 45, 'c'));
    const std::string zip = builder.Bytes();
    ASSERT_EQ(zip.size() % 45, 14u);

    const std::string text = RetrievalText(UuencodedMail(zip));
    ASSERT_NE(text.find("\r\n..", 0), std::string::npos) << "the last line is stuffed on the wire";
    std::string message;
    ASSERT_TRUE(RetrievedMessage(text, message));
    std::string archive;
    std::string reason;
    ASSERT_TRUE(FindZipAttachment(message, archive, reason)) << reason;
    EXPECT_EQ(archive, zip);
}

} // namespace
} // namespace tarvel
