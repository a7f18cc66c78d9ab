#include "TestHttpServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace
{

// One self-signed certificate for 127.0.0.1 per test process, written to a PEM file that clients trust.
struct TestCertificate
{
    EVP_PKEY* pKey = nullptr;
    X509* pCert = nullptr;
    std::string strPemFile;
    std::string strKeyFile;

    TestCertificate()
    {
        pKey = EVP_EC_gen("P-256");
        pCert = X509_new();
        if (!pKey || !pCert) {
            throw std::runtime_error("cannot create the test certificate");
        }
        X509_set_version(pCert, 2);
        unsigned char serial[8];
        RAND_bytes(serial, sizeof serial);
        BIGNUM* pSerial = BN_bin2bn(serial, sizeof serial, nullptr);
        BN_to_ASN1_INTEGER(pSerial, X509_get_serialNumber(pCert));
        BN_free(pSerial);
        X509_gmtime_adj(X509_getm_notBefore(pCert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(pCert), 30L * 24 * 3600);
        X509_set_pubkey(pCert, pKey);
        X509_NAME* pName = X509_get_subject_name(pCert);
        X509_NAME_add_entry_by_txt(pName, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Trawlix tests"),
                                   -1, -1, 0);
        X509_NAME_add_entry_by_txt(pName, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1,
                                   -1, 0);
        X509_set_issuer_name(pCert, pName);
        AddExtension(NID_basic_constraints, "critical,CA:TRUE");
        AddExtension(NID_key_usage, "critical,digitalSignature,keyCertSign");
        AddExtension(NID_subject_key_identifier, "hash");
        AddExtension(NID_subject_alt_name, "IP:127.0.0.1");
        if (!X509_sign(pCert, pKey, EVP_sha256())) {
            throw std::runtime_error("cannot sign the test certificate");
        }

        const char* pTmp = std::getenv("TMPDIR");
        std::string strTemplate = std::string(pTmp && *pTmp ? pTmp : "/tmp") + "/trawlix-test-ca-XXXXXX.pem";
        int fd = mkstemps(strTemplate.data(), 4);
        if (fd < 0) {
            throw std::runtime_error("cannot create the certificate file");
        }
        FILE* pFile = fdopen(fd, "w");
        PEM_write_X509(pFile, pCert);
        fclose(pFile);
        strPemFile = strTemplate;

        // The key too, for other servers that present this certificate (nginx in the HTTP/2 tests).
        strTemplate = std::string(pTmp && *pTmp ? pTmp : "/tmp") + "/trawlix-test-key-XXXXXX.pem";
        fd = mkstemps(strTemplate.data(), 4);
        if (fd < 0) {
            throw std::runtime_error("cannot create the key file");
        }
        pFile = fdopen(fd, "w");
        PEM_write_PrivateKey(pFile, pKey, nullptr, nullptr, 0, nullptr, nullptr);
        fclose(pFile);
        strKeyFile = strTemplate;
    }

    ~TestCertificate()
    {
        for (const std::string* pFile : {&strPemFile, &strKeyFile}) {
            if (!pFile->empty()) {
                std::remove(pFile->c_str());
            }
        }
        X509_free(pCert);
        EVP_PKEY_free(pKey);
    }

    void AddExtension(int nid, const char* pValue)
    {
        X509V3_CTX ctx;
        X509V3_set_ctx_nodb(&ctx);
        X509V3_set_ctx(&ctx, pCert, pCert, nullptr, nullptr, 0);
        X509_EXTENSION* pExt = X509V3_EXT_conf_nid(nullptr, &ctx, nid, pValue);
        if (!pExt) {
            throw std::runtime_error("cannot add a certificate extension");
        }
        X509_add_ext(pCert, pExt, -1);
        X509_EXTENSION_free(pExt);
    }
};

TestCertificate& Certificate()
{
    static TestCertificate certificate;
    return certificate;
}

} // namespace

TestCertificateFiles TestHttpServer::CertificateFiles()
{
    const TestCertificate& cert = Certificate();
    return {cert.strPemFile, cert.strKeyFile};
}

namespace
{

const char* ReasonPhrase(int nStatus)
{
    switch (nStatus) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 304:
        return "Not Modified";
    case 307:
        return "Temporary Redirect";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string Trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::string ContentType(const std::string& strPath)
{
    static const std::map<std::string, std::string> types = {{"htm", "text/html"},
                                                             {"html", "text/html"},
                                                             {"asp", "text/html"},
                                                             {"php", "text/html"},
                                                             {"txt", "text/plain"},
                                                             {"css", "text/css"},
                                                             {"js", "text/javascript"},
                                                             {"gif", "image/gif"},
                                                             {"jpg", "image/jpeg"},
                                                             {"jpeg", "image/jpeg"},
                                                             {"png", "image/png"},
                                                             {"bmp", "image/bmp"},
                                                             {"swf", "application/x-shockwave-flash"},
                                                             {"mid", "audio/midi"},
                                                             {"wav", "audio/wav"}};
    size_t dot = strPath.rfind('.');
    size_t slash = strPath.rfind('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        auto it = types.find(Lower(strPath.substr(dot + 1)));
        if (it != types.end()) {
            return it->second;
        }
    }
    return "application/octet-stream";
}

std::string PercentDecode(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

} // namespace

struct TestHttpServer::Connection
{
    int fd = -1;
    SSL* pSsl = nullptr;
    std::string pending; // bytes read but not yet used
    std::thread thread;
    std::atomic<bool> bDone{false};

    ~Connection()
    {
        if (pSsl) {
            SSL_free(pSsl);
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }

    long Read(char* pBuf, size_t n)
    {
        if (pSsl) {
            int r = SSL_read(pSsl, pBuf, static_cast<int>(std::min<size_t>(n, 1 << 20)));
            return r > 0 ? r : -1;
        }
        ssize_t r;
        do {
            r = ::recv(fd, pBuf, n, 0);
        } while (r < 0 && errno == EINTR);
        return r > 0 ? static_cast<long>(r) : -1;
    }

    bool Write(const char* p, size_t n)
    {
        while (n > 0) {
            long w;
            if (pSsl) {
                w = SSL_write(pSsl, p, static_cast<int>(std::min<size_t>(n, 1 << 20)));
            } else {
                w = ::send(fd, p, n, MSG_NOSIGNAL);
                if (w < 0 && errno == EINTR) {
                    continue;
                }
            }
            if (w <= 0) {
                return false;
            }
            p += w;
            n -= static_cast<size_t>(w);
        }
        return true;
    }
    bool Write(const std::string& s) { return Write(s.data(), s.size()); }

    // Reads up to and including the blank line that ends a request head.
    bool ReadHead(std::string& head)
    {
        char buf[16384];
        for (;;) {
            size_t end = pending.find("\r\n\r\n");
            if (end != std::string::npos) {
                head = pending.substr(0, end + 4);
                pending.erase(0, end + 4);
                return true;
            }
            if (pending.size() > 65536) {
                return false;
            }
            long r = Read(buf, sizeof buf);
            if (r <= 0) {
                return false;
            }
            pending.append(buf, static_cast<size_t>(r));
        }
    }

    bool Skip(size_t n)
    {
        char buf[16384];
        size_t take = std::min(n, pending.size());
        pending.erase(0, take);
        n -= take;
        while (n > 0) {
            long r = Read(buf, std::min(n, sizeof buf));
            if (r <= 0) {
                return false;
            }
            n -= static_cast<size_t>(r);
        }
        return true;
    }
};

TestHttpResponse TestHttpResponse::Text(const std::string& strBody, int nStatus)
{
    TestHttpResponse r;
    r.nStatus = nStatus;
    r.headers = {{"Content-Type", "text/plain"}};
    r.body = strBody;
    return r;
}

TestHttpResponse TestHttpResponse::Html(const std::string& strBody)
{
    TestHttpResponse r;
    r.headers = {{"Content-Type", "text/html"}};
    r.body = strBody;
    return r;
}

TestHttpResponse TestHttpResponse::Redirect(int nStatus, const std::string& strLocation)
{
    TestHttpResponse r;
    r.nStatus = nStatus;
    r.headers = {{"Location", strLocation}, {"Content-Type", "text/html"}};
    r.body = "<html><body>Moved</body></html>";
    return r;
}

sockaddr_in LoopbackAddress(int nPort)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(nPort));
    return addr;
}

TestHttpServer::TestHttpServer(Scheme scheme)
    : m_scheme(scheme)
{
    // Writes to a connection the client closed must fail, not end the test program. Tests never go through
    // a proxy that the environment may name.
    std::signal(SIGPIPE, SIG_IGN);
    const char* pNoProxy = std::getenv("no_proxy");
    std::string strNoProxy = pNoProxy && *pNoProxy ? std::string(pNoProxy) + ",127.0.0.1" : "127.0.0.1";
    setenv("no_proxy", strNoProxy.c_str(), 1);
    setenv("NO_PROXY", strNoProxy.c_str(), 1);

    if (m_scheme == Scheme::Https) {
        TestCertificate& cert = Certificate();
        SSL_CTX* pCtx = SSL_CTX_new(TLS_server_method());
        if (!pCtx || SSL_CTX_use_certificate(pCtx, cert.pCert) != 1 || SSL_CTX_use_PrivateKey(pCtx, cert.pKey) != 1) {
            throw std::runtime_error("cannot set up TLS for the test server");
        }
        m_pSslCtx = pCtx;
        m_strCaFile = cert.strPemFile;
    }

    m_nListenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_nListenFd < 0) {
        throw std::runtime_error("cannot create the test server's socket");
    }
    int one = 1;
    setsockopt(m_nListenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr = LoopbackAddress(0);
    socklen_t len = sizeof addr;
    if (::bind(m_nListenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_nListenFd, 128) != 0 ||
        ::getsockname(m_nListenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(m_nListenFd);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    m_nPort = ntohs(addr.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
}

TestHttpServer::~TestHttpServer()
{
    Stop();
}

void TestHttpServer::Route(const std::string& strTarget, TestHttpResponse response)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_routes[strTarget] = Route_{std::move(response), nullptr};
}

void TestHttpServer::Route(const std::string& strTarget, TestHttpHandler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_routes[strTarget] = Route_{TestHttpResponse(), std::move(handler)};
}

void TestHttpServer::ServeFolder(const std::string& strFolder)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strFolder = strFolder;
}

std::string TestHttpServer::Origin() const
{
    return std::string(m_scheme == Scheme::Https ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_nPort);
}

std::string TestHttpServer::Url(const std::string& strPath) const
{
    return Origin() + (strPath.empty() || strPath[0] != '/' ? "/" : "") + strPath;
}

int TestHttpServer::RequestCount(const std::string& strTarget) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(std::count_if(m_requests.begin(), m_requests.end(),
                                          [&](const TestHttpRequest& r) { return r.strTarget == strTarget; }));
}

std::vector<TestHttpRequest> TestHttpServer::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

int TestHttpServer::ConnectionCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nConnectionCount;
}

void TestHttpServer::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bStopping && !m_acceptThread.joinable()) {
            return;
        }
        m_bStopping = true;
        // shutdown() wakes a thread blocked in accept(), recv() or send() on these sockets.
        if (m_nListenFd >= 0) {
            ::shutdown(m_nListenFd, SHUT_RDWR);
        }
        for (auto& pConn : m_connections) {
            ::shutdown(pConn->fd, SHUT_RDWR);
        }
    }
    m_stopCv.notify_all();
    if (m_acceptThread.joinable()) {
        m_acceptThread.join();
    }
    std::vector<std::unique_ptr<Connection>> connections;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        connections.swap(m_connections);
    }
    for (auto& pConn : connections) {
        if (pConn->thread.joinable()) {
            pConn->thread.join();
        }
    }
    connections.clear();
    if (m_nListenFd >= 0) {
        ::close(m_nListenFd);
        m_nListenFd = -1;
    }
    if (m_pSslCtx) {
        SSL_CTX_free(static_cast<SSL_CTX*>(m_pSslCtx));
        m_pSslCtx = nullptr;
    }
}

void TestHttpServer::ReapFinished()
{
    // Called with m_mutex held. A finished thread has left every lock behind it.
    for (auto it = m_connections.begin(); it != m_connections.end();) {
        if ((*it)->bDone.load()) {
            (*it)->thread.join();
            it = m_connections.erase(it);
        } else {
            ++it;
        }
    }
}

void TestHttpServer::AcceptLoop()
{
    for (;;) {
        int fd = ::accept4(m_nListenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_bStopping) {
                return;
            }
            continue;
        }
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bStopping) {
            ::close(fd);
            return;
        }
        ReapFinished();
        auto pConn = std::make_unique<Connection>();
        pConn->fd = fd;
        Connection* pRaw = pConn.get();
        m_connections.push_back(std::move(pConn));
        ++m_nConnectionCount;
        pRaw->thread = std::thread([this, pRaw] {
            Serve(pRaw);
            pRaw->bDone.store(true);
        });
    }
}

bool TestHttpServer::WaitForStop(int nMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (nMs < 0) {
        m_stopCv.wait(lock, [this] { return m_bStopping; });
        return true;
    }
    return m_stopCv.wait_for(lock, std::chrono::milliseconds(nMs), [this] { return m_bStopping; });
}

void TestHttpServer::Serve(Connection* pConn)
{
    if (m_pSslCtx) {
        pConn->pSsl = SSL_new(static_cast<SSL_CTX*>(m_pSslCtx));
        SSL_set_fd(pConn->pSsl, pConn->fd);
        if (SSL_accept(pConn->pSsl) != 1) {
            ERR_clear_error();
            return;
        }
    }
    for (;;) {
        std::string head;
        if (!pConn->ReadHead(head)) {
            break;
        }
        TestHttpRequest request;
        std::istringstream lines(head);
        std::string line;
        std::getline(lines, line);
        std::istringstream first(line);
        std::string strVersion;
        first >> request.strMethod >> request.strTarget >> strVersion;
        while (std::getline(lines, line)) {
            size_t colon = line.find(':');
            if (colon != std::string::npos) {
                request.headers[Lower(Trim(line.substr(0, colon)))] = Trim(line.substr(colon + 1));
            }
        }
        auto it = request.headers.find("content-length");
        if (it != request.headers.end() && !pConn->Skip(std::strtoull(it->second.c_str(), nullptr, 10))) {
            break;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request);
        }
        bool bKeepAlive = strVersion == "HTTP/1.1" && Lower(request.headers["connection"]) != "close";
        if (!Answer(pConn, request, bKeepAlive) || !bKeepAlive) {
            break;
        }
    }
    if (pConn->pSsl) {
        SSL_shutdown(pConn->pSsl);
    }
    ::shutdown(pConn->fd, SHUT_RDWR);
}

TestHttpResponse TestHttpServer::Resolve(const TestHttpRequest& request)
{
    TestHttpHandler handler;
    std::string strFolder;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_routes.find(request.strTarget);
        if (it != m_routes.end()) {
            if (!it->second.handler) {
                return it->second.response;
            }
            handler = it->second.handler;
        }
        strFolder = m_strFolder;
    }
    if (handler) {
        return handler(request);
    }
    if (!strFolder.empty()) {
        std::string strPath = PercentDecode(request.strTarget.substr(0, request.strTarget.find('?')));
        if (strPath.find("..") == std::string::npos) {
            std::ifstream in(strFolder + strPath, std::ios::binary);
            if (in && strPath.back() != '/') {
                std::ostringstream data;
                data << in.rdbuf();
                TestHttpResponse r;
                r.headers = {{"Content-Type", ContentType(strPath)}};
                r.body = data.str();
                return r;
            }
        }
    }
    return TestHttpResponse::Text("Not Found", 404);
}

bool TestHttpServer::Answer(Connection* pConn, const TestHttpRequest& request, bool& bKeepAlive)
{
    TestHttpResponse response;
    try {
        response = Resolve(request);
    } catch (const std::exception& e) {
        response = TestHttpResponse::Text(std::string("handler failed: ") + e.what(), 500);
    }
    if (response.nDelayMs > 0 && WaitForStop(response.nDelayMs)) {
        return false;
    }

    const std::uint64_t nBodySize = response.nGeneratedSize ? response.nGeneratedSize : response.body.size();
    bool bOwnLength = false;
    std::string strHead =
        "HTTP/1.1 " + std::to_string(response.nStatus) + " " + ReasonPhrase(response.nStatus) + "\r\n";
    for (const auto& [name, value] : response.headers) {
        bOwnLength = bOwnLength || Lower(name) == "content-length";
        strHead += name + ": " + value + "\r\n";
    }
    // A response that states its own length may state a false one: the connection ends after it.
    if (bOwnLength || (!response.bContentLength && !response.bChunked)) {
        bKeepAlive = false;
    }
    if (response.bChunked) {
        strHead += "Transfer-Encoding: chunked\r\n";
    } else if (response.bContentLength && !bOwnLength) {
        strHead += "Content-Length: " + std::to_string(nBodySize) + "\r\n";
    }
    if (!bKeepAlive) {
        strHead += "Connection: close\r\n";
    }
    strHead += "\r\n";
    if (!pConn->Write(strHead)) {
        return false;
    }
    if (request.strMethod == "HEAD") {
        return true;
    }

    const std::uint64_t nSend =
        response.nStallAfter >= 0 ? std::min<std::uint64_t>(nBodySize, response.nStallAfter) : nBodySize;
    std::string piece;
    for (std::uint64_t nSent = 0; nSent < nSend;) {
        if (response.nDripMs > 0 && nSent > 0 && WaitForStop(response.nDripMs)) {
            return false;
        }
        const size_t n = static_cast<size_t>(std::min<std::uint64_t>(nSend - nSent, response.nDripMs > 0 ? 1 : 65536));
        if (response.nGeneratedSize) {
            piece.resize(n);
            for (size_t i = 0; i < n; ++i) {
                piece[i] = static_cast<char>('a' + (nSent + i) % 26);
            }
        } else {
            piece.assign(response.body, static_cast<size_t>(nSent), n);
        }
        if (response.bChunked) {
            char size[32];
            std::snprintf(size, sizeof size, "%zx\r\n", n);
            piece = size + piece + "\r\n";
        }
        if (!pConn->Write(piece)) {
            return false;
        }
        nSent += n;
    }
    if (response.nStallAfter >= 0) {
        WaitForStop(-1);
        return false;
    }
    if (response.bChunked && !pConn->Write("0\r\n\r\n")) {
        return false;
    }
    return true;
}
