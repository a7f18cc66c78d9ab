#pragma once

#include <string>
#include <sys/types.h>

// nginx serving a folder on 127.0.0.1, for tests and benchmarks that want a real web server: HTTP/1.1,
// or HTTP/2 over TLS with the tests' own certificate. Each request is logged as one line of
// "PROTOCOL CONNECTION STATUS TARGET". Stopped by the destructor.
class CLocalNginx
{
public:
    CLocalNginx() = default;
    ~CLocalNginx();
    CLocalNginx(const CLocalNginx&) = delete;
    CLocalNginx& operator=(const CLocalNginx&) = delete;

    // Starts nginx on a free port, with its configuration, logs and temporary files under strWorkFolder,
    // serving strRoot. False when nginx is not installed or does not start (Error() says why).
    bool Start(const std::string& strWorkFolder, const std::string& strRoot, bool bHttp2 = false);
    void Stop();

    int Port() const { return m_nPort; }
    // "http://127.0.0.1:PORT" (or https) + strPath.
    std::string Url(const std::string& strPath) const;
    std::string AccessLog() const { return m_strWork + "/logs/access.log"; }
    const std::string& Error() const { return m_strError; }

    // Helpers the benchmarks share: a program in the system's folders (empty when missing), a port
    // nothing listens on now, and whether something answers on a port within a few seconds.
    static std::string FindProgram(const char* pName);
    static int FreePort();
    static bool WaitForPort(int nPort);

private:
    pid_t m_pid = -1;
    int m_nPort = 0;
    bool m_bHttp2 = false;
    std::string m_strWork;
    std::string m_strError;
};
