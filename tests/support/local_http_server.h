#pragma once

#include "loopback_socket.h"

#include <atomic>
#include <chrono>
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
    bool readable(const Socket& socket) const {
        while (!m_stop) {
            if (waitReadable(socket, std::chrono::milliseconds(20))) {
                return true;
            }
        }
        return false;
    }

    void serve() {
        std::vector<Socket> held;
        while (readable(m_listener)) {
            Socket client = acceptClient(m_listener);
            if (!client.valid()) {
                continue;
            }
            std::string head;
            char buffer[1024];
            while (head.find("\r\n\r\n") == std::string::npos && readable(client)) {
                const std::size_t got = receiveSome(client, buffer, sizeof(buffer));
                if (got == 0) {
                    break;
                }
                head.append(buffer, got);
            }
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(head);
            }
            if (m_response.empty()) {
                held.push_back(std::move(client));
                continue;
            }
            std::size_t sent = 0;
            while (sent < m_response.size()) {
                const std::size_t put = sendSome(client, m_response.data() + sent, m_response.size() - sent);
                if (put == 0) {
                    break;
                }
                sent += put;
            }
        }
    }

    std::string m_response;
    Socket m_listener;
    unsigned short m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

} // namespace sw::test
