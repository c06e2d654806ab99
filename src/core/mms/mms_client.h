#pragma once

#include "core/mms/mms_pdu.h"
#include "core/platform/socket.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

// An MMS client over TCP on IPv4 (RFC 1006 and the OSI layers of osi_stack.h), with one association at a
// time, one request outstanding at a time, no TLS and no authentication. Transport and protocol faults
// throw ConfigError (ProtocolError for what the server sent, MmsStopped when the stop token fired);
// a service error is an answer, returned with the request's outcome.
namespace sw::mms {

struct Timeouts {
    std::chrono::milliseconds connect{5000}; // TCP connection
    std::chrono::milliseconds request{5000}; // each answer, from sending the request
    std::chrono::milliseconds total{60000};  // everything from connecting to the release
};

// The work was stopped through the stop token.
class MmsStopped : public ConfigError {
public:
    MmsStopped() : ConfigError("The check was stopped.") {}
};

template <class T> struct Outcome {
    std::optional<T> value;
    ServiceError error;   // when there is no value and the server refused the request
    std::string unusable; // when there is no value because the server's answer was of no use: why

    std::string errorText() const { return unusable.empty() ? error.text() : unusable; }
};

class MmsClient {
public:
    MmsClient() = default;
    ~MmsClient();
    MmsClient(const MmsClient&) = delete;
    MmsClient& operator=(const MmsClient&) = delete;

    // Connects to `address` (dotted IPv4) and `port` and opens the association. Throws ConfigError.
    void connect(const std::string& address, std::uint16_t port, const Timeouts& timeouts,
                 std::stop_token stop = {});
    bool connected() const { return m_socket.open(); }
    // The largest MMS message either side sends, as the initiate negotiated it.
    std::uint32_t maxPduSize() const { return m_maxPduSize; }

    // All pages of the names of one class in `domain` (domains themselves with an empty domain).
    Outcome<std::vector<std::string>> getNameList(ObjectClass objectClass, const std::string& domain);
    // One Read request of all `variables`; the results come in request order. An answer with another
    // number of results than variables, or with a value that cannot be decoded, is `unusable`: the
    // association stays as it was.
    Outcome<std::vector<AccessResult>> read(const std::vector<ObjectName>& variables);
    // Reads any number of variables in as few requests as the negotiated size allows; a request the
    // server refuses or answers unusably as a whole is split, down to single variables whose service
    // error or unusable answer then stands in their result.
    std::vector<AccessResult> readMany(const std::vector<ObjectName>& variables);
    Outcome<VariableAttributes> getVariableAccessAttributes(const ObjectName& variable);
    Outcome<NamedVariableList> getNamedVariableListAttributes(const ObjectName& list);

    // Concludes the association and releases it, then closes the connection. Faults are not reported:
    // whatever the server answers, the connection is closed afterwards.
    void conclude();
    void close();

private:
    MmsPdu request(const Bytes& pdu, Bytes& answer);
    void sendData(const Bytes& spdu);
    Bytes receiveTsdu(std::chrono::steady_clock::time_point deadline);
    void receiveExact(std::uint8_t* into, std::size_t size, std::chrono::steady_clock::time_point deadline);
    void sendAll(const Bytes& bytes, std::chrono::steady_clock::time_point deadline);
    void waitFor(platform::TcpSocket::Wait event, std::chrono::steady_clock::time_point deadline);
    std::chrono::steady_clock::time_point requestDeadline() const;
    std::uint32_t nextInvokeId() { return m_invokeId++; }
    void readSplitting(const std::vector<ObjectName>& variables, std::size_t begin, std::size_t end,
                       std::vector<AccessResult>& results);

    platform::TcpSocket m_socket;
    std::string m_peer; // "address:port" for messages
    Timeouts m_timeouts;
    std::stop_token m_stop;
    std::chrono::steady_clock::time_point m_totalDeadline;
    std::size_t m_tpduSize = 128;
    std::uint32_t m_maxPduSize = kProposedMaxPduSize;
    std::uint32_t m_invokeId = 1;
};

} // namespace sw::mms
