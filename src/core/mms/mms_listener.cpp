#include "core/mms/mms_listener.h"

#include "core/mms/osi_stack.h"

#include <chrono>

namespace sw::mms {

namespace {

// The connection ends: the client went, broke the rules, or the server stops.
struct ConnectionEnded {};

class Connection {
public:
    Connection(const platform::SocketHandle& socket, const std::atomic<bool>& stop)
        : m_socket(socket), m_stop(stop) {}

    void receive(std::uint8_t* into, std::size_t size) {
        std::size_t got = 0;
        while (got < size) {
            if (m_stop) {
                throw ConnectionEnded{};
            }
            if (!platform::waitReadable(m_socket, std::chrono::milliseconds(50))) {
                continue;
            }
            const std::size_t read = platform::receiveSome(m_socket, into + got, size - got);
            if (read == 0) {
                throw ConnectionEnded{};
            }
            got += read;
        }
    }

    Bytes tpdu() {
        std::uint8_t header[osi::kTpktHeaderSize];
        receive(header, sizeof header);
        const std::size_t length = osi::tpktLength(header);
        Bytes bytes(length - osi::kTpktHeaderSize);
        receive(bytes.data(), bytes.size());
        return bytes;
    }

    // The data of data TPDUs up to the one marked last, at most `limit` bytes.
    Bytes tsdu(std::size_t limit) {
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

    void send(const Bytes& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const std::size_t put = platform::sendSome(m_socket, bytes.data() + sent, bytes.size() - sent);
            if (put == 0) {
                throw ConnectionEnded{};
            }
            sent += put;
        }
    }

    // One TSDU in data TPDUs of at most `tpduSize` octets, written at once.
    void sendTsdu(const Bytes& data, std::size_t tpduSize) {
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

private:
    const platform::SocketHandle& m_socket;
    const std::atomic<bool>& m_stop;
};

std::string dotted(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 0xFF) + "." +
           std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF);
}

// What the layers below MMS add to a PDU at most.
constexpr std::size_t kEnvelope = 256;

} // namespace

MmsListener::MmsListener(std::shared_ptr<MmsServer> server, std::uint32_t address, std::uint16_t port)
    : m_server(std::move(server)), m_port(port) {
    std::string reason;
    m_listener = platform::listenTcp(address, m_port, reason);
    if (!m_listener.valid()) {
        throw ConfigError("Cannot serve on " + dotted(address) + ":" + std::to_string(port) + ": " + reason);
    }
    m_thread = std::thread([this] { acceptLoop(); });
}

MmsListener::~MmsListener() {
    stop();
}

void MmsListener::stop() {
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_listener.reset();
}

void MmsListener::acceptLoop() {
    std::vector<std::thread> connections;
    while (!m_stop) {
        if (!platform::waitReadable(m_listener, std::chrono::milliseconds(50))) {
            continue;
        }
        platform::SocketHandle client = platform::acceptTcp(m_listener);
        if (!client.valid()) {
            continue;
        }
        connections.emplace_back([this, client = std::move(client)] {
            try {
                converse(client);
            } catch (const ConnectionEnded&) {
            } catch (const std::exception&) {
                // A message that breaks the layers' rules ends its connection and nothing else.
            }
        });
    }
    for (std::thread& connection : connections) {
        connection.join();
    }
}

void MmsListener::converse(const platform::SocketHandle& client) {
    Connection connection(client, m_stop);
    const osi::ConnectionRequest request = osi::parseConnectionRequest(connection.tpdu());
    connection.send(osi::tpkt(osi::connectionConfirm(request)));
    const std::size_t tpduSize = osi::grantedTpduSize(request);

    const std::size_t initialLimit = 16 * 1024;
    const Bytes connect = connection.tsdu(initialLimit);
    const osi::ConnectIndication indication = osi::parseConnectSpdu(connect);
    MmsServer::Association association;
    const Bytes initiateResponse = m_server->initiate(indication.mmsInitiateRequest, association);
    connection.sendTsdu(osi::acceptSpdu(indication, initiateResponse), tpduSize);
    if (association.maxPduSize == 0) {
        return;
    }
    for (;;) {
        const Bytes unit = connection.tsdu(association.maxPduSize + kEnvelope);
        if (osi::isFinishSpdu(unit)) {
            connection.sendTsdu(osi::disconnectSpdu(), tpduSize);
            return;
        }
        const Bytes reply = m_server->answer(osi::requestMmsPdu(unit), association);
        connection.sendTsdu(osi::dataSpdu(reply), tpduSize);
    }
}

} // namespace sw::mms
