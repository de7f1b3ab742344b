#include "lfw/net/LHTTP.h"
#include "support/LoopbackServer.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace {

class TlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        gDir = new TemporaryFolder;
        gReady = TrustTestCertificates(gDir->Path());
    }
    static void TearDownTestSuite()
    {
        delete gDir;
        gDir = nullptr;
    }
    static std::string File(const char* name) { return *gDir / name; }
    static TemporaryFolder* gDir;
    static bool gReady;
};
TemporaryFolder* TlsTest::gDir = nullptr;
bool TlsTest::gReady = false;

} // namespace

TEST_F(TlsTest, VerifiedDownloadOverLoopback)
{
    ASSERT_TRUE(gReady);
    LoopbackServer server(File("server.pem"), File("server.key"));
    server.Add("HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\nsecret");
    LProcessInterfaceVoid job;
    std::string target = *gDir / "tls.out";
    std::string url = "https://" + server.Host() + "/s";
    ASSERT_EQ(ProcessHTTPSDownloadFile(job, url.c_str(), target.c_str(), false), 0);
    EXPECT_EQ(TemporaryFolder::ReadFile(target), "secret");
    EXPECT_EQ(server.Requests().at(0), "GET /s HTTP/1.0\r\nHost: " + server.Host() + "\r\n\r\n");
}

TEST_F(TlsTest, BodyWithoutLengthNeedsTheCloseNotice)
{
    ASSERT_TRUE(gReady);
    LoopbackServer server(File("server.pem"), File("server.key"));
    server.Add(LoopbackScript { { "HTTP/1.0 200 OK\r\n\r\nwhole" }, 0, false, false });
    server.Add(LoopbackScript { { "HTTP/1.0 200 OK\r\n\r\ncut sh" }, 0, false, true });
    LProcessInterfaceVoid job;
    std::string target = *gDir / "notice.out";
    std::string url = "https://" + server.Host() + "/s";
    ASSERT_EQ(ProcessHTTPSDownloadFile(job, url.c_str(), target.c_str(), false), 0);
    EXPECT_EQ(TemporaryFolder::ReadFile(target), "whole");
    EXPECT_EQ(ProcessHTTPSDownloadFile(job, url.c_str(), target.c_str(), false), 2);
    EXPECT_EQ(TemporaryFolder::ReadFile(target), "whole");
}

TEST_F(TlsTest, UntrustedAuthorityFails)
{
    ASSERT_TRUE(gReady);
    LoopbackServer server(File("self.pem"), File("self.key"));
    LProcessInterfaceVoid job;
    LSSLSocketTCP sock;
    EXPECT_EQ(ProcessHTTPSConnect(job, sock, server.Host().c_str(), 5000), 2);
    EXPECT_EQ(sock.GetDescriptor(), -1);
    // A download names the secure connection as what failed.
    LHTTPDownloadFailure why;
    std::string url = "https://" + server.Host() + "/s";
    EXPECT_EQ(ProcessHTTPSDownloadFile(
                  job, url.c_str(), (*gDir / "untrusted.out").c_str(), false, {}, &why),
        2);
    EXPECT_EQ(why.kind, LHTTPFailure::Secure);
    EXPECT_EQ(why.tls, LTLSFailure::Certificate);
}

TEST_F(TlsTest, CertificateForAnotherHostFails)
{
    ASSERT_TRUE(gReady);
    LoopbackServer server(File("other.pem"), File("other.key"));
    LProcessInterfaceVoid job;
    LSSLSocketTCP sock;
    EXPECT_EQ(ProcessHTTPSConnect(job, sock, server.Host().c_str(), 5000), 2);
    LHTTPDownloadFailure why;
    std::string url = "https://" + server.Host() + "/s";
    EXPECT_EQ(
        ProcessHTTPSDownloadFile(job, url.c_str(), (*gDir / "other.out").c_str(), false, {}, &why),
        2);
    EXPECT_EQ(why.kind, LHTTPFailure::Secure);
    EXPECT_EQ(why.tls, LTLSFailure::CertificateName);
    // The certificate is valid for its own name, but the connection asked for 127.0.0.1.
    LoopbackServer right(File("server.pem"), File("server.key"));
    LSSLSocketTCP ok;
    EXPECT_EQ(ProcessHTTPSConnect(job, ok, right.Host().c_str(), 5000), 0);
    EXPECT_TRUE(ok.IsConnected());
}

TEST_F(TlsTest, HandshakeWithSilentServerTimesOut)
{
    ASSERT_TRUE(gReady);
    LoopbackServer plain; // accepts but never speaks TLS
    plain.Add(LoopbackScript { {}, 0, true });
    LProcessInterfaceVoid job;
    LSSLSocketTCP sock;
    EXPECT_EQ(ProcessHTTPSConnect(job, sock, plain.Host().c_str(), 600), 2);
}
