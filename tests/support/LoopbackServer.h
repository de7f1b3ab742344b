// A server on 127.0.0.1 inside the test, plain or TLS, that serves recorded answers: each
// accepted connection has its request read (head and, with a Content-Length, body), recorded,
// and answered with the next script's pieces, sent with a pause between them; then the
// connection is closed. A script with hold set sends its pieces (often none) and then keeps the
// connection open until the server goes.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct LoopbackScript {
    std::vector<std::string> pieces;
    int pauseMs = 0;
    bool hold = false;
    bool cut = false; // TLS: end without the close notice
};

class LoopbackServer {
public:
    // certificate and key (PEM files) make it a TLS server.
    LoopbackServer(const std::string& certificate = "", const std::string& key = "");
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    uint16_t Port() const { return fPort; }
    // "127.0.0.1:<port>"
    std::string Host() const;
    void Add(const LoopbackScript& script);
    void Add(const std::string& reply) { Add(LoopbackScript { { reply }, 0, false }); }
    // Answers the requests that find no script left: the responder gets the request and gives
    // the script (called on the connection's thread).
    void SetResponder(std::function<LoopbackScript(const std::string& request)> responder);
    // The requests received so far, in order.
    std::vector<std::string> Requests();
    int Connections() const { return fConnections.load(); }
    // The scripts' pieces sent so far, on every connection.
    int PiecesSent() const { return fPiecesSent.load(); }

private:
    void Run();
    void Serve(int fd);

    int fListen = -1;
    uint16_t fPort = 0;
    void* fContext = nullptr; // SSL_CTX*
    std::atomic<bool> fStop { false };
    std::atomic<int> fConnections { 0 };
    std::atomic<int> fPiecesSent { 0 };
    std::mutex fMutex;
    std::deque<LoopbackScript> fScripts;
    std::function<LoopbackScript(const std::string&)> fResponder;
    std::vector<std::string> fRequests;
    std::thread fThread;
};

// An HTTP reply "200 OK" that carries the JSON text.
inline std::string JsonReply(const std::string& json)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
        + std::to_string(json.size()) + "\r\n\r\n" + json;
}

// A certificate authority and a server certificate for 127.0.0.1 made with the openssl tool in
// folder: ca.pem, server.pem, server.key (and other.pem / other.key for the name "other.example",
// self.pem / self.key self-signed for 127.0.0.1). False when the tool failed.
bool MakeTestCertificates(const std::string& folder);

// Makes the certificates of MakeTestCertificates in folder and has every TLS client of the
// process trust that authority alone (SSL_CERT_FILE and SSL_CERT_DIR, set even when the tool
// failed). False when the tool failed.
bool TrustTestCertificates(const std::string& folder);
