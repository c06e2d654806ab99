#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "loopback_listener.h"

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace sw::test {

// A one-thread HTTP server on 127.0.0.1 (a free port) that answers every request with the same raw
// response and records the request heads it read. With an empty response it accepts and never answers,
// holding each connection open until the server goes.
class LocalHttpServer {
public:
    explicit LocalHttpServer(std::string rawResponse) : m_response(std::move(rawResponse)) {
        m_listener = listenOnLoopback(m_port, "the local test server");
        m_thread = std::thread([this] { serve(); });
    }
    ~LocalHttpServer() {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    // "http://127.0.0.1:PORT"
    std::string base() const { return "http://127.0.0.1:" + std::to_string(m_port); }

    std::vector<std::string> requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

    // An answer with the given status line and body.
    static std::string response(const std::string& status, const std::string& body,
                                const std::string& extraHeaders = {}) {
        return "HTTP/1.0 " + status +
               "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
               extraHeaders + "\r\n" + body;
    }

private:
    bool waitReadable(int socket) const {
        while (!m_stop) {
            pollfd watched{socket, POLLIN, 0};
            if (::poll(&watched, 1, 20) > 0) {
                return true;
            }
        }
        return false;
    }

    void serve() {
        std::vector<int> held;
        while (waitReadable(m_listener)) {
            const int client = ::accept(m_listener, nullptr, nullptr);
            if (client < 0) {
                continue;
            }
            std::string head;
            char buffer[1024];
            while (head.find("\r\n\r\n") == std::string::npos && waitReadable(client)) {
                const ssize_t got = ::recv(client, buffer, sizeof(buffer), 0);
                if (got <= 0) {
                    break;
                }
                head.append(buffer, static_cast<std::size_t>(got));
            }
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(head);
            }
            if (m_response.empty()) {
                held.push_back(client);
                continue;
            }
            std::size_t sent = 0;
            while (sent < m_response.size()) {
                const ssize_t put =
                    ::send(client, m_response.data() + sent, m_response.size() - sent, MSG_NOSIGNAL);
                if (put <= 0) {
                    break;
                }
                sent += static_cast<std::size_t>(put);
            }
            ::close(client);
        }
        for (int client : held) {
            ::close(client);
        }
    }

    std::string m_response;
    int m_listener = -1;
    unsigned short m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

} // namespace sw::test
