#include "core/mms/mms_listener.h"

#include "core/mms/osi_stack.h"
#include "core/mms/server_connection.h"

#include <chrono>

namespace sw::mms {

namespace {

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
    // A message that breaks the layers' rules ends its connection and nothing else.
    serveConnections(m_listener, m_stop, std::chrono::milliseconds(50),
                     [this](const platform::SocketHandle& client) { converse(client); });
}

void MmsListener::converse(const platform::SocketHandle& client) {
    ServerConnection connection(client, m_stop);
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
