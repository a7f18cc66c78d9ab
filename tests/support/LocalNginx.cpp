#include "LocalNginx.h"

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestHttpServer.h"
#include "platform/Files.h"

namespace
{
bool portAnswers(int nPort)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = LoopbackAddress(nPort);
    const bool bOk = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return bOk;
}
} // namespace

CLocalNginx::~CLocalNginx()
{
    Stop();
}

std::string CLocalNginx::FindProgram(const char* pName)
{
    for (const char* pDir : {"/usr/sbin", "/usr/bin", "/usr/local/sbin", "/usr/local/bin", "/sbin", "/bin"}) {
        std::string strPath = std::string(pDir) + "/" + pName;
        if (access(strPath.c_str(), X_OK) == 0) {
            return strPath;
        }
    }
    return {};
}

int CLocalNginx::FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = LoopbackAddress(0);
    socklen_t len = sizeof addr;
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

bool CLocalNginx::WaitForPort(int nPort)
{
    for (int i = 0; i < 100; ++i) {
        if (portAnswers(nPort)) {
            return true;
        }
        usleep(50'000);
    }
    return false;
}

bool CLocalNginx::Start(const std::string& strWorkFolder, const std::string& strRoot, bool bHttp2)
{
    Stop();
    const std::string strNginx = FindProgram("nginx");
    if (strNginx.empty()) {
        m_strError = "nginx is not installed";
        return false;
    }
    m_strWork = strWorkFolder;
    m_bHttp2 = bHttp2;
    m_nPort = FreePort();
    files::CreateFolders(m_strWork + "/logs");
    files::CreateFolders(m_strWork + "/tmp");
    std::string strConf;
    if (geteuid() == 0) {
        strConf += "user root;\n"; // the site lies in a private temporary folder
    }
    const std::string tmp = m_strWork + "/tmp";
    strConf += "worker_processes 1;\ndaemon off;\npid " + m_strWork + "/nginx.pid;\nerror_log " + m_strWork +
               "/logs/error.log;\nevents { worker_connections 1024; }\nhttp {\n"
               "  log_format requests '$server_protocol $connection $status $request_uri';\n"
               "  access_log " +
               AccessLog() +
               " requests;\n"
               "  client_body_temp_path " +
               tmp + ";\n  proxy_temp_path " + tmp + ";\n  fastcgi_temp_path " + tmp + ";\n  uwsgi_temp_path " + tmp +
               ";\n  scgi_temp_path " + tmp +
               ";\n"
               "  keepalive_requests 100000;\n"
               "  types { text/html html; text/css css; image/gif gif; image/png png; image/jpeg jpg; "
               "image/webp webp; image/svg+xml svg; font/woff2 woff2; }\n"
               "  server {\n    listen 127.0.0.1:" +
               std::to_string(m_nPort) + (bHttp2 ? " ssl http2" : "") + ";\n    root " + strRoot + ";\n";
    if (bHttp2) {
        const TestCertificateFiles cert = TestHttpServer::CertificateFiles();
        strConf += "    ssl_certificate " + cert.strCertFile + ";\n    ssl_certificate_key " + cert.strKeyFile + ";\n";
    }
    strConf += "  }\n}\n";
    files::WriteFile(m_strWork + "/nginx.conf", strConf);
    m_pid = fork();
    if (m_pid == 0) {
        execl(strNginx.c_str(), "nginx", "-p", m_strWork.c_str(), "-c", (m_strWork + "/nginx.conf").c_str(), "-e",
              (m_strWork + "/logs/error.log").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (m_pid > 0 && WaitForPort(m_nPort)) {
        return true;
    }
    m_strError = "nginx did not start; see " + m_strWork + "/logs/error.log";
    Stop();
    return false;
}

void CLocalNginx::Stop()
{
    if (m_pid > 0) {
        // A graceful stop writes out the log.
        kill(m_pid, SIGQUIT);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}

std::string CLocalNginx::Url(const std::string& strPath) const
{
    return std::string(m_bHttp2 ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_nPort) + strPath;
}
