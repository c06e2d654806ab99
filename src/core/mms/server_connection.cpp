#include "core/mms/server_connection.h"

#include "core/mms/osi_stack.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

namespace sw::mms {

void ServerConnection::receive(std::uint8_t* into, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        if (m_stop) {
            throw ConnectionEnded{};
        }
        if (!platform::waitReadable(m_socket, m_poll)) {
            continue;
        }
        const std::size_t read = platform::receiveSome(m_socket, into + got, size - got);
        if (read == 0) {
            throw ConnectionEnded{};
        }
        got += read;
    }
}

Bytes ServerConnection::tpdu() {
    std::uint8_t header[osi::kTpktHeaderSize];
    receive(header, sizeof header);
    const std::size_t length = osi::tpktLength(header);
    Bytes bytes(length - osi::kTpktHeaderSize);
    receive(bytes.data(), bytes.size());
    return bytes;
}

Bytes ServerConnection::tsdu(std::size_t limit) {
    Bytes data;
    for (;;) {
        const Bytes unit = tpdu();
        const osi::DataTpdu piece = osi::parseDataTpdu(unit);
        if (data.size() + piece.data.size() > limit) {
            throw ConnectionEnded{};
        }
        data.insert(data.end(), piece.data.begin(), piece.data.end());
        if (piece.last) {
            return data;
        }
    }
}

void ServerConnection::send(const Bytes& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const std::size_t put = platform::sendSome(m_socket, bytes.data() + sent, bytes.size() - sent);
        if (put == 0) {
            throw ConnectionEnded{};
        }
        sent += put;
    }
}

void ServerConnection::sendTsdu(const Bytes& data, std::size_t tpduSize) {
    Bytes packets;
    std::size_t offset = 0;
    do {
        const std::size_t chunk = std::min(tpduSize - osi::kDataTpduHeaderSize, data.size() - offset);
        Bytes tpdu = osi::dataTpduHeader(offset + chunk == data.size());
        tpdu.insert(tpdu.end(), data.begin() + static_cast<std::ptrdiff_t>(offset),
                    data.begin() + static_cast<std::ptrdiff_t>(offset + chunk));
        const Bytes packet = osi::tpkt(tpdu);
        packets.insert(packets.end(), packet.begin(), packet.end());
        offset += chunk;
    } while (offset < data.size());
    send(packets);
}

void serveConnections(const platform::SocketHandle& listener, const std::atomic<bool>& stop,
                      std::chrono::milliseconds poll,
                      const std::function<void(const platform::SocketHandle& client)>& converse) {
    std::vector<std::thread> connections;
    while (!stop) {
        if (!platform::waitReadable(listener, poll)) {
            continue;
        }
        platform::SocketHandle client = platform::acceptTcp(listener);
        if (!client.valid()) {
            continue;
        }
        connections.emplace_back([&converse, client = std::move(client)] {
            try {
                converse(client);
            } catch (const ConnectionEnded&) {
            } catch (const std::exception&) {
            }
        });
    }
    for (std::thread& connection : connections) {
        connection.join();
    }
}

} // namespace sw::mms
