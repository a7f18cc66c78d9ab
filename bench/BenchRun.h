#pragma once
// What the benchmarks that run programs against nginx share: a relay that holds every byte for a while
// in each direction (a server far away), and measuring a program from the outside.

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "LocalNginx.h"
#include "TestHttpServer.h"

struct RunFigures
{
    double dSeconds = 0;
    double dCpuSeconds = 0;
    long nPeakKb = 0;
    int nExit = -1;
    size_t nFiles = 0;
    long nRequests = 0;
};

// Holds every chunk that passes one way for nDelayMs before sending it on, keeping the order and
// without limiting the rate: a long line, not a slow one.
inline void Pump(int from, int to, int nDelayMs, std::atomic<long long>* pBytes = nullptr)
{
    using Clock = std::chrono::steady_clock;
    struct Chunk
    {
        Clock::time_point due;
        std::string data; // empty: the end
    };
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Chunk> queue;
    std::thread writer([&] {
        for (;;) {
            Chunk chunk;
            {
                std::unique_lock lock(mutex);
                cv.wait(lock, [&] { return !queue.empty(); });
                chunk = std::move(queue.front());
                queue.pop_front();
            }
            std::this_thread::sleep_until(chunk.due);
            if (chunk.data.empty()) {
                shutdown(to, SHUT_WR);
                return;
            }
            size_t sent = 0;
            while (sent < chunk.data.size()) {
                ssize_t n = send(to, chunk.data.data() + sent, chunk.data.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) {
                    break;
                }
                sent += static_cast<size_t>(n);
            }
        }
    });
    char buffer[64 * 1024];
    for (;;) {
        ssize_t n = recv(from, buffer, sizeof buffer, 0);
        if (pBytes && n > 0) {
            pBytes->fetch_add(n);
        }
        Chunk chunk{Clock::now() + std::chrono::milliseconds(nDelayMs),
                    n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string()};
        {
            std::lock_guard lock(mutex);
            queue.push_back(std::move(chunk));
        }
        cv.notify_one();
        if (n <= 0) {
            break;
        }
    }
    writer.join();
}

// A relay process: every connection to nPort is passed on to nTargetPort, each direction held nDelayMs.
// pBytesDown, when given, lives in memory shared with the caller and counts the bytes sent to clients.
inline pid_t StartRelay(int nPort, int nTargetPort, int nDelayMs, std::atomic<long long>* pBytesDown = nullptr)
{
    pid_t pid = fork();
    if (pid != 0) {
        return pid > 0 && CLocalNginx::WaitForPort(nPort) ? pid : -1;
    }
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr = LoopbackAddress(nPort);
    if (bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener, 64) != 0) {
        _exit(1);
    }
    for (;;) {
        int client = accept(listener, nullptr, nullptr);
        if (client < 0) {
            continue;
        }
        std::thread([client, nTargetPort, nDelayMs, pBytesDown] {
            int server = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in target = LoopbackAddress(nTargetPort);
            if (connect(server, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
                close(client);
                close(server);
                return;
            }
            int flag = 1;
            setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag);
            setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &flag, sizeof flag);
            std::thread up([&] { Pump(client, server, nDelayMs); });
            Pump(server, client, nDelayMs, pBytesDown);
            up.join();
            close(client);
            close(server);
        }).detach();
    }
}

// Runs a program with its output thrown away and measures it from the outside, so every contender is
// measured alike.
inline RunFigures Measure(const std::vector<std::string>& args)
{
    RunFigures figures;
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        std::vector<char*> argv;
        for (const auto& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(args[0].c_str(), argv.data());
        _exit(127);
    }
    int nStatus = 0;
    rusage usage{};
    wait4(pid, &nStatus, 0, &usage);
    figures.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.nPeakKb = usage.ru_maxrss;
    figures.dCpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    figures.nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    return figures;
}
