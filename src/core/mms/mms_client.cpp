#include "core/mms/mms_client.h"

#include "core/common/ip_address.h"
#include "core/common/numbers.h"
#include "core/mms/osi_stack.h"

namespace sw::mms {

namespace {

using Clock = std::chrono::steady_clock;

// Polling in short slices lets a stop request end a wait promptly.
constexpr std::chrono::milliseconds kPollSlice{50};
// The release after the work is a courtesy to the server: it gets little time.
constexpr std::chrono::milliseconds kReleaseWait{1000};
// A name list is read page by page; a server that never ends it is cut off.
constexpr std::size_t kMaxNamePages = 1000;

std::string seconds(std::chrono::milliseconds time) {
    const auto tenths = (time.count() + 50) / 100;
    return std::to_string(tenths / 10) + (tenths % 10 != 0 ? "." + std::to_string(tenths % 10) : "") + " s";
}

} // namespace

MmsClient::~MmsClient() {
    close();
}

Clock::time_point MmsClient::requestDeadline() const {
    return std::min(Clock::now() + m_timeouts.request, m_totalDeadline);
}

void MmsClient::close() {
    m_socket.close();
}

void MmsClient::waitFor(platform::TcpSocket::Wait event, Clock::time_point deadline) {
    for (;;) {
        if (m_stop.stop_requested()) {
            throw MmsStopped();
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            throw ConfigError("no answer from " + m_peer + " within " +
                              seconds(deadline == m_totalDeadline ? m_timeouts.total : m_timeouts.request));
        }
        const auto slice = std::min(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                                        std::chrono::milliseconds(1),
                                    kPollSlice);
        std::string reason;
        if (m_socket.wait(event, slice, reason)) {
            return;
        }
        if (!reason.empty()) {
            throw ConfigError("waiting for " + m_peer + " failed: " + reason);
        }
    }
}

void MmsClient::connect(const std::string& address, std::uint16_t port, const Timeouts& timeouts,
                        std::stop_token stop) {
    close();
    m_timeouts = timeouts;
    m_stop = std::move(stop);
    m_peer = address + ":" + std::to_string(port);
    m_totalDeadline = Clock::now() + timeouts.total;
    m_invokeId = 1;
    m_maxPduSize = kProposedMaxPduSize;

    const std::uint32_t target = ipv4Address(address);
    bool pending = false;
    if (const std::string reason = m_socket.connect(target, port, pending); !reason.empty()) {
        if (m_socket.failedToOpen()) {
            throw ConfigError("no TCP socket could be opened: " + reason);
        }
        throw ConfigError("connecting to " + m_peer + " failed: " + reason);
    }
    if (pending) {
        const auto deadline = std::min(Clock::now() + timeouts.connect, m_totalDeadline);
        try {
            waitFor(platform::TcpSocket::Wait::Writable, deadline);
        } catch (const MmsStopped&) {
            close();
            throw;
        } catch (const ConfigError&) {
            close();
            throw ConfigError("no connection to " + m_peer + " within " + seconds(timeouts.connect));
        }
        if (const std::string reason = m_socket.connectResult(); !reason.empty()) {
            close();
            throw ConfigError("connecting to " + m_peer + " failed: " + reason);
        }
    }

    try {
        sendAll(osi::tpkt(osi::connectionRequest()), requestDeadline());
        const auto deadline = requestDeadline();
        std::uint8_t header[osi::kTpktHeaderSize];
        receiveExact(header, sizeof header, deadline);
        Bytes tpdu(osi::tpktLength(header) - osi::kTpktHeaderSize);
        receiveExact(tpdu.data(), tpdu.size(), deadline);
        m_tpduSize = osi::parseConnectionConfirm(tpdu);

        sendData(osi::connectSpdu(initiateRequest(kProposedMaxPduSize)));
        const Bytes accepted = osi::acceptedMmsPdu(receiveTsdu(requestDeadline()));
        const InitiateResponse initiate = decodeInitiateResponse(accepted);
        if (initiate.maxPduSize != 0) {
            m_maxPduSize = std::min(initiate.maxPduSize, kProposedMaxPduSize);
        }
    } catch (...) {
        close();
        throw;
    }
}

void MmsClient::sendAll(const Bytes& bytes, Clock::time_point deadline) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        waitFor(platform::TcpSocket::Wait::Writable, deadline);
        const auto put = m_socket.send(bytes.data() + sent, bytes.size() - sent);
        if (!put.reason.empty()) {
            throw ConfigError("sending to " + m_peer + " failed: " + put.reason);
        }
        sent += put.count;
    }
}

void MmsClient::receiveExact(std::uint8_t* into, std::size_t size, Clock::time_point deadline) {
    std::size_t got = 0;
    while (got < size) {
        waitFor(platform::TcpSocket::Wait::Readable, deadline);
        const auto read = m_socket.receive(into + got, size - got);
        if (read.retry) {
            continue;
        }
        if (!read.reason.empty()) {
            throw ConfigError("receiving from " + m_peer + " failed: " + read.reason);
        }
        if (read.count == 0) {
            throw ConfigError(m_peer + " closed the connection");
        }
        got += read.count;
    }
}

void MmsClient::sendData(const Bytes& spdu) {
    // One TSDU in data TPDUs of the granted size, all packets in one buffer.
    const std::size_t payload = m_tpduSize - osi::kDataTpduHeaderSize;
    Bytes packets;
    packets.reserve(spdu.size() +
                    (spdu.size() / payload + 1) * (osi::kTpktHeaderSize + osi::kDataTpduHeaderSize));
    std::size_t offset = 0;
    do {
        const std::size_t chunk = std::min(payload, spdu.size() - offset);
        Bytes tpdu = osi::dataTpduHeader(offset + chunk == spdu.size());
        tpdu.insert(tpdu.end(), spdu.begin() + static_cast<std::ptrdiff_t>(offset),
                    spdu.begin() + static_cast<std::ptrdiff_t>(offset + chunk));
        const Bytes packet = osi::tpkt(tpdu);
        packets.insert(packets.end(), packet.begin(), packet.end());
        offset += chunk;
    } while (offset < spdu.size());
    sendAll(packets, requestDeadline());
}

Bytes MmsClient::receiveTsdu(Clock::time_point deadline) {
    Bytes tsdu;
    for (;;) {
        std::uint8_t header[osi::kTpktHeaderSize];
        receiveExact(header, sizeof header, deadline);
        Bytes tpdu(osi::tpktLength(header) - osi::kTpktHeaderSize);
        receiveExact(tpdu.data(), tpdu.size(), deadline);
        const osi::DataTpdu data = osi::parseDataTpdu(tpdu);
        if (tsdu.size() + data.data.size() > osi::kMaxTsduSize) {
            throw ProtocolError(m_peer + " sent a message larger than " + std::to_string(osi::kMaxTsduSize) +
                                " bytes.");
        }
        tsdu.insert(tsdu.end(), data.data.begin(), data.data.end());
        if (data.last) {
            return tsdu;
        }
    }
}

MmsPdu MmsClient::request(const Bytes& pdu, Bytes& answer) {
    if (!m_socket.open()) {
        throw ConfigError("no association with the server");
    }
    if (pdu.size() > m_maxPduSize) {
        throw ConfigError("a request of " + std::to_string(pdu.size()) + " bytes exceeds the " +
                          std::to_string(m_maxPduSize) + " bytes agreed with " + m_peer);
    }
    BerReader sent(pdu);
    const BerElement outer = sent.next();
    BerReader inner = BerReader::inside(outer);
    const auto invokeId = static_cast<std::uint32_t>(decodeUnsigned(inner.next()));

    sendData(osi::dataSpdu(pdu));
    const auto deadline = requestDeadline();
    for (;;) {
        const Bytes tsdu = receiveTsdu(deadline);
        const ByteView mms = osi::dataMmsPdu(tsdu);
        if (mms.size() > m_maxPduSize) {
            throw ProtocolError(m_peer + " sent an MMS message of " + std::to_string(mms.size()) +
                                " bytes, more than the " + std::to_string(m_maxPduSize) + " agreed.");
        }
        answer.assign(mms.begin(), mms.end());
        MmsPdu received = decodePdu(answer);
        if (received.kind == PduKind::Unconfirmed) {
            continue; // a report in between
        }
        if (received.kind != PduKind::ConfirmedResponse && received.kind != PduKind::ConfirmedError &&
            received.kind != PduKind::Reject) {
            throw ProtocolError(m_peer + " answered a request with an unexpected MMS message.");
        }
        if (received.invokeId && *received.invokeId != invokeId) {
            throw ProtocolError(m_peer + " answered request " + std::to_string(invokeId) +
                                " with invoke ID " + std::to_string(*received.invokeId) + ".");
        }
        return received;
    }
}

Outcome<std::vector<std::string>> MmsClient::getNameList(ObjectClass objectClass, const std::string& domain) {
    Outcome<std::vector<std::string>> outcome;
    std::vector<std::string> names;
    std::string continueAfter;
    for (std::size_t page = 0; page < kMaxNamePages; ++page) {
        Bytes answer;
        const MmsPdu pdu =
            request(getNameListRequest(nextInvokeId(), objectClass, domain, continueAfter), answer);
        if (pdu.kind != PduKind::ConfirmedResponse) {
            outcome.error = pdu.error;
            return outcome;
        }
        NameList list = decodeGetNameListResponse(pdu.service);
        if (list.moreFollows && (list.names.empty() || list.names.back() == continueAfter)) {
            throw ProtocolError(m_peer + " announces more names but sends none beyond the last.");
        }
        names.insert(names.end(), list.names.begin(), list.names.end());
        if (!list.moreFollows) {
            outcome.value = std::move(names);
            return outcome;
        }
        continueAfter = names.back();
    }
    throw ProtocolError(m_peer + " sent more than " + std::to_string(kMaxNamePages) + " pages of names.");
}

Outcome<std::vector<AccessResult>> MmsClient::read(const std::vector<ObjectName>& variables) {
    Outcome<std::vector<AccessResult>> outcome;
    Bytes answer;
    const MmsPdu pdu = request(readRequest(nextInvokeId(), variables), answer);
    if (pdu.kind != PduKind::ConfirmedResponse) {
        outcome.error = pdu.error;
        return outcome;
    }
    std::vector<AccessResult> results;
    try {
        results = decodeReadResponse(pdu.service);
    } catch (const ProtocolError& error) {
        outcome.unusable = error.what();
        return outcome;
    }
    // Some servers leave out the result of a name they cannot read instead of giving its access error;
    // matching the rest by position would give values to the wrong names.
    if (results.size() != variables.size()) {
        const std::string got = results.empty()       ? std::string("no result")
                                : results.size() == 1 ? std::string("1 result")
                                                      : std::to_string(results.size()) + " results";
        outcome.unusable = variables.size() == 1
                               ? "the server answered a read of this variable alone with " + got
                               : "the server answered a read of " + std::to_string(variables.size()) +
                                     " variables with " + got;
        return outcome;
    }
    outcome.value = std::move(results);
    return outcome;
}

void MmsClient::readSplitting(const std::vector<ObjectName>& variables, std::size_t begin, std::size_t end,
                              std::vector<AccessResult>& results) {
    const std::vector<ObjectName> batch(variables.begin() + static_cast<std::ptrdiff_t>(begin),
                                        variables.begin() + static_cast<std::ptrdiff_t>(end));
    Outcome<std::vector<AccessResult>> outcome = read(batch);
    if (outcome.value) {
        for (std::size_t i = 0; i < outcome.value->size(); ++i) {
            results[begin + i] = std::move((*outcome.value)[i]);
        }
        return;
    }
    if (end - begin == 1) {
        if (outcome.unusable.empty()) {
            results[begin].refused = outcome.error;
        } else {
            results[begin].unusable = std::move(outcome.unusable);
        }
        return;
    }
    // A whole request refused, perhaps because its answer would not fit, or answered unusably because of
    // one or a few of its names: halves fare better, and single names tell which ones fail.
    const std::size_t middle = begin + (end - begin) / 2;
    readSplitting(variables, begin, middle, results);
    readSplitting(variables, middle, end, results);
}

std::vector<AccessResult> MmsClient::readMany(const std::vector<ObjectName>& variables) {
    std::vector<AccessResult> results(variables.size());
    std::size_t begin = 0;
    while (begin < variables.size()) {
        std::size_t size = kReadRequestOverhead + readRequestItemSize(variables[begin]);
        std::size_t end = begin + 1;
        while (end < variables.size() && size + readRequestItemSize(variables[end]) <= m_maxPduSize) {
            size += readRequestItemSize(variables[end]);
            ++end;
        }
        readSplitting(variables, begin, end, results);
        begin = end;
    }
    return results;
}

Outcome<VariableAttributes> MmsClient::getVariableAccessAttributes(const ObjectName& variable) {
    Outcome<VariableAttributes> outcome;
    Bytes answer;
    const MmsPdu pdu = request(getVariableAccessAttributesRequest(nextInvokeId(), variable), answer);
    if (pdu.kind != PduKind::ConfirmedResponse) {
        outcome.error = pdu.error;
        return outcome;
    }
    try {
        outcome.value = decodeGetVariableAccessAttributesResponse(pdu.service);
    } catch (const ProtocolError& error) {
        outcome.unusable = error.what();
    }
    return outcome;
}

Outcome<NamedVariableList> MmsClient::getNamedVariableListAttributes(const ObjectName& list) {
    Outcome<NamedVariableList> outcome;
    Bytes answer;
    const MmsPdu pdu = request(getNamedVariableListAttributesRequest(nextInvokeId(), list), answer);
    if (pdu.kind != PduKind::ConfirmedResponse) {
        outcome.error = pdu.error;
        return outcome;
    }
    try {
        outcome.value = decodeGetNamedVariableListAttributesResponse(pdu.service);
    } catch (const ProtocolError& error) {
        outcome.unusable = error.what();
    }
    return outcome;
}

void MmsClient::conclude() {
    if (!m_socket.open()) {
        return;
    }
    try {
        m_timeouts.request = std::min(m_timeouts.request, kReleaseWait);
        sendData(osi::dataSpdu(concludeRequest()));
        const auto deadline = requestDeadline();
        for (;;) {
            const Bytes tsdu = receiveTsdu(deadline);
            const MmsPdu pdu = decodePdu(osi::dataMmsPdu(tsdu));
            if (pdu.kind == PduKind::ConcludeResponse) {
                break;
            }
            if (pdu.kind != PduKind::Unconfirmed) {
                close();
                return;
            }
        }
        sendData(osi::finishSpdu());
        const Bytes reply = receiveTsdu(requestDeadline());
        (void)osi::isDisconnectSpdu(reply);
    } catch (const ConfigError&) {
        // The work is done; a server that does not release cleanly changes nothing of it.
    }
    close();
}

} // namespace sw::mms
