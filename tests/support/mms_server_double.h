#pragma once

#include "core/mms/ber.h"
#include "core/mms/mms_pdu.h"

#include "loopback_socket.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sw::test {

// A small MMS server on 127.0.0.1 (a free port) for the client's tests: each connection on a thread of its
// own, the association and the services the live check asks for, over a model of leaf values by domain and
// item. Reading an item above leaves answers a structure of them; what the model lacks is answered as the
// standard's "does not exist" errors.
class MmsServerDouble {
public:
    struct Model {
        // Full BER encodings of MMS Data, by domain and item ("GGIO1$ST$Ind1$stVal").
        std::map<std::string, std::map<std::string, mms::Bytes>> leaves;
        // Named variable lists by domain and whole item ("LLN0$DataSet1"); a member with an access names a
        // part of its variable (an array element, a component), sent as the list member's alternate access.
        std::map<std::string, std::map<std::string, std::vector<mms::ListMember>>> dataSets;

        void add(const std::string& domain, const std::string& item, mms::Bytes data) {
            leaves[domain][item] = std::move(data);
        }
    };

    enum class Behaviour {
        Serve,
        Silent,    // accepts and reads, never answers
        RawAnswer, // answers the transport connection request with `rawAnswer`, then stays silent
    };

    struct Options {
        Behaviour behaviour = Behaviour::Serve;
        mms::Bytes rawAnswer;
        std::uint32_t maxPduSize = 65000; // the size the server grants and keeps its answers within
        std::uint8_t tpduSizeCode = 0x0A; // 1024-octet TPDUs: larger messages come in pieces
        std::size_t namesPerPage = 100;
        // Items a Read answers with no result at all, leaving the list of results short by one, as some
        // servers do for a name they cannot read.
        std::vector<std::string> leftOutOfReads;
        // After this many confirmed requests of an association the next one is not answered: the
        // connection closes (0: never).
        std::size_t hangUpAfter = 0;
    };

    // One request as received: the MMS service's number (4 Read, 5 Write, 6 GetVariableAccessAttributes,
    // 12 GetNamedVariableListAttributes, ...) and the variables or the list it names.
    struct Request {
        std::uint32_t service = 0;
        std::vector<mms::ObjectName> names;
    };

    explicit MmsServerDouble(Model model) : MmsServerDouble(std::move(model), Options{}) {}
    MmsServerDouble(Model model, Options options);
    ~MmsServerDouble();
    MmsServerDouble(const MmsServerDouble&) = delete;
    MmsServerDouble& operator=(const MmsServerDouble&) = delete;

    unsigned short port() const { return m_port; }
    std::size_t associations() const { return m_associations; }
    std::size_t readRequests() const { return m_readRequests; }
    std::size_t concludes() const { return m_concludes; }
    // Every confirmed request of every association, in the order received.
    std::vector<Request> requests() const;

    // A port on 127.0.0.1 that nothing listens on (bound and released again).
    static unsigned short unusedPort();

    // MMS Data encodings for the model.
    static mms::Bytes boolean(bool value);
    static mms::Bytes integer(std::int64_t value);
    static mms::Bytes unsignedValue(std::uint64_t value);
    // As a real server sends a number it keeps in 8 bits: one octet, 255 as ff (no leading zero).
    static mms::Bytes unsigned8(std::uint8_t value);
    static mms::Bytes float32(float value);
    static mms::Bytes bitString(const std::string& bits); // "0110..."
    static mms::Bytes visibleString(const std::string& text);
    static mms::Bytes octetString(const mms::Bytes& octets);
    // A structure of encoded members in the order given (a model's leaves list theirs by name).
    static mms::Bytes structure(const std::vector<mms::Bytes>& members);
    // The fraction as a real server writes stored milliseconds: ms * 2^24 / 1000 cut down, so .999
    // arrives as 0.998999953 s.
    static mms::Bytes utcTime(std::uint32_t seconds, std::uint32_t milliseconds = 500);
    // A member of a named variable list that is element `index` of the array `item`, or the part of it
    // the components name in turn.
    static mms::ListMember arrayElement(const std::string& domain, const std::string& item,
                                        std::uint32_t index, const std::vector<std::string>& components = {});

private:
    void serve();
    void converse(const Socket& client);
    mms::Bytes answer(mms::ByteView request);
    mms::Bytes readAnswer(const mms::ObjectName& name) const;
    void record(const mms::BerElement& service);

    Model m_model;
    Options m_options;
    Socket m_listener;
    unsigned short m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_associations{0};
    std::atomic<std::size_t> m_readRequests{0};
    std::atomic<std::size_t> m_concludes{0};
    mutable std::mutex m_requestsMutex;
    std::vector<Request> m_requests;
    std::thread m_thread;
};

} // namespace sw::test
