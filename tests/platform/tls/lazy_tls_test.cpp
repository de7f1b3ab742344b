// OpenSSL is loaded when the first TLS session is set up, and without it a session cannot be set
// up (with a reason) instead of the program stopping. Each check runs in a process started
// afresh; this test program does not link OpenSSL itself.
#include "platform/tls/Tls.h"
#include "support/LateLibraries.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

using latelibraries::Checks;
using latelibraries::Loaded;

namespace {

// A connected pair of sockets, closed at the end.
struct SocketPair {
    int fd[2] = { -1, -1 };
    SocketPair() { ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fd); }
    ~SocketPair()
    {
        for (int f : fd)
            if (f >= 0)
                ::close(f);
    }
};

void CheckLoadedOnFirstSession()
{
    Checks checks;
    checks.Expect(
        !Loaded("libssl.so") && !Loaded("libcrypto.so"), "OpenSSL is not loaded at start");
    SocketPair pair;
    {
        platform::tls::Session session;
        checks.Expect(session.Open(pair.fd[0], "example.org"), "a session is set up");
        checks.Expect(Loaded("libssl.so") && Loaded("libcrypto.so"), "OpenSSL is loaded");
        // The client's hello goes out and the answer is waited for.
        checks.Expect(
            session.Handshake() == platform::tls::Status::WantRead, "the handshake waits");
        char hello[5] = {};
        checks.Expect(::read(pair.fd[1], hello, sizeof hello) == 5 && hello[0] == 0x16,
            "a TLS handshake record went out");
        // Rubbish as the answer is a protocol failure.
        checks.Expect(::write(pair.fd[1], "HTTP/1.0 400\r\n\r\n", 16) == 16, "an answer is sent");
        checks.Expect(session.Handshake() == platform::tls::Status::Failed
                && session.GetFailure() == platform::tls::Failure::Protocol,
            "a plain-text answer fails the handshake");
    }
    platform::tls::Session numeric;
    checks.Expect(numeric.Open(pair.fd[0], "127.0.0.1"), "a session for an address");
    checks.End();
}

void CheckMissingLibraries()
{
    Checks checks;
    SocketPair pair;
    platform::tls::Session session;
    checks.Expect(!session.Open(pair.fd[0], "example.org"), "no session without OpenSSL");
    checks.Expect(!session.GetError().empty(), "a reason is given");
    checks.Expect(!session.IsConnected() && session.Pending() == 0, "nothing is connected");
    size_t done = 1;
    checks.Expect(session.Handshake() == platform::tls::Status::Failed, "no handshake");
    checks.Expect(
        session.Read(&done, 1, &done) == platform::tls::Status::Failed && done == 0, "no reading");
    session.Close();
    checks.Expect(!Loaded("libssl.so") && !Loaded("libcrypto.so"), "nothing was loaded");
    checks.End();
}

} // namespace

TEST(LazyTls, LoadedOnFirstSession)
{
    VT_EXPECT_IN_FRESH_PROCESS(CheckLoadedOnFirstSession());
}

TEST(LazyTls, MissingLibraryRefusesSessions)
{
    latelibraries::LibraryPath path(
        latelibraries::UnloadableLibraries({ VT_SSL_SONAME, VT_CRYPTO_SONAME }));
    VT_EXPECT_IN_FRESH_PROCESS(CheckMissingLibraries());
}
