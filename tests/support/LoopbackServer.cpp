#include "support/LoopbackServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

LoopbackServer::LoopbackServer(const std::string& certificate, const std::string& key)
{
    // A client that gives up mid-reply must not end the test program.
    signal(SIGPIPE, SIG_IGN);
    fListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fListen, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fListen, reinterpret_cast<sockaddr*>(&a), &len);
    fPort = ntohs(a.sin_port);
    listen(fListen, 16);
    if (!certificate.empty()) {
        SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate_chain_file(ctx, certificate.c_str());
        SSL_CTX_use_PrivateKey_file(ctx, key.c_str(), SSL_FILETYPE_PEM);
        fContext = ctx;
    }
    fThread = std::thread([this] { Run(); });
}

LoopbackServer::~LoopbackServer()
{
    fStop = true;
    shutdown(fListen, SHUT_RDWR);
    fThread.join();
    close(fListen);
    if (fContext)
        SSL_CTX_free(static_cast<SSL_CTX*>(fContext));
}

std::string LoopbackServer::Host() const
{
    return "127.0.0.1:" + std::to_string(fPort);
}

void LoopbackServer::Add(const LoopbackScript& script)
{
    std::lock_guard<std::mutex> lock(fMutex);
    fScripts.push_back(script);
}

void LoopbackServer::SetResponder(std::function<LoopbackScript(const std::string&)> responder)
{
    std::lock_guard<std::mutex> lock(fMutex);
    fResponder = std::move(responder);
}

std::vector<std::string> LoopbackServer::Requests()
{
    std::lock_guard<std::mutex> lock(fMutex);
    return fRequests;
}

void LoopbackServer::Run()
{
    std::vector<std::thread> workers;
    while (!fStop) {
        struct pollfd p = { fListen, POLLIN, 0 };
        if (poll(&p, 1, 50) <= 0)
            continue;
        int fd = accept4(fListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++fConnections;
        workers.emplace_back([this, fd] { Serve(fd); });
    }
    for (auto& w : workers)
        w.join();
}

void LoopbackServer::Serve(int fd)
{
    SSL* ssl = nullptr;
    if (fContext) {
        ssl = SSL_new(static_cast<SSL_CTX*>(fContext));
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) != 1) {
            SSL_free(ssl);
            close(fd);
            return;
        }
    }
    auto readSome = [&](char* b, size_t n) -> long {
        struct pollfd p = { fd, POLLIN, 0 };
        if (!ssl || SSL_pending(ssl) == 0) {
            int waited = 0;
            while (poll(&p, 1, 50) == 0) {
                if (fStop || (waited += 50) > 5000)
                    return -1;
            }
        }
        return ssl ? SSL_read(ssl, b, int(n)) : long(recv(fd, b, n, 0));
    };
    auto writeAll = [&](const std::string& s) {
        size_t off = 0;
        while (off < s.size()) {
            long w = ssl ? SSL_write(ssl, s.data() + off, int(s.size() - off))
                         : long(send(fd, s.data() + off, s.size() - off, MSG_NOSIGNAL));
            if (w <= 0)
                return false;
            off += size_t(w);
        }
        return true;
    };
    std::string request;
    char buffer[4096];
    size_t headEnd = std::string::npos;
    while ((headEnd = request.find("\r\n\r\n")) == std::string::npos) {
        long n = readSome(buffer, sizeof buffer);
        if (n <= 0)
            break;
        request.append(buffer, size_t(n));
    }
    if (headEnd != std::string::npos) {
        size_t p = request.find("Content-Length: ");
        if (p != std::string::npos && p < headEnd) {
            size_t want = headEnd + 4 + std::strtoul(request.c_str() + p + 16, nullptr, 10);
            while (request.size() < want) {
                long n = readSome(buffer, sizeof buffer);
                if (n <= 0)
                    break;
                request.append(buffer, size_t(n));
            }
        }
    }
    LoopbackScript script;
    std::function<LoopbackScript(const std::string&)> responder;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        fRequests.push_back(request);
        if (!fScripts.empty()) {
            script = fScripts.front();
            fScripts.pop_front();
        } else {
            responder = fResponder;
        }
    }
    if (responder)
        script = responder(request);
    // A client that went, or the server's end, ends a slow script early.
    for (size_t i = 0; i < script.pieces.size() && !fStop; ++i) {
        if (i && script.pauseMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(script.pauseMs));
        if (!writeAll(script.pieces[i]))
            break;
        ++fPiecesSent;
    }
    if (script.hold)
        while (!fStop)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (ssl) {
        if (!script.cut)
            SSL_shutdown(ssl);
        SSL_free(ssl);
    }
    close(fd);
}

bool MakeTestCertificates(const std::string& dir)
{
    std::string ec = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    std::string q = " >/dev/null 2>&1";
    std::string cmds[] = {
        "cd " + dir + " && openssl req -x509 " + ec
            + " -keyout ca.key -out ca.pem -days 2 -subj /CN=VorantelTestCA"
              " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign"
            + q,
        "cd " + dir + " && printf 'subjectAltName=IP:127.0.0.1\\n' > ip.ext && openssl req " + ec
            + " -keyout server.key -out server.csr -subj /CN=127.0.0.1 && openssl x509 -req -in"
              " server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2"
              " -extfile ip.ext"
            + q,
        "cd " + dir + " && printf 'subjectAltName=DNS:other.example\\n' > dns.ext && openssl req "
            + ec
            + " -keyout other.key -out other.csr -subj /CN=other.example && openssl x509 -req -in"
              " other.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out other.pem -days 2"
              " -extfile dns.ext"
            + q,
        "cd " + dir + " && openssl req -x509 " + ec
            + " -keyout self.key -out self.pem -days 2 -subj /CN=127.0.0.1"
              " -addext subjectAltName=IP:127.0.0.1"
            + q,
    };
    // Every command of a chain is quiet, not only the last.
    for (const std::string& c : cmds)
        if (std::system(("(" + c + ")" + q).c_str()) != 0)
            return false;
    return true;
}

bool TrustTestCertificates(const std::string& dir)
{
    const bool made = MakeTestCertificates(dir);
    setenv("SSL_CERT_FILE", (dir + "/ca.pem").c_str(), 1);
    setenv("SSL_CERT_DIR", dir.c_str(), 1);
    return made;
}
