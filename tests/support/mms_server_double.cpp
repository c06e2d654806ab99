#include "mms_server_double.h"

#include "loopback_socket.h"

#include "core/mms/mms_server.h"
#include "core/mms/osi_stack.h"
#include "core/mms/server_connection.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>

namespace sw::test {

using mms::BerElement;
using mms::BerReader;
using mms::BerWriter;
using mms::Bytes;
using mms::ByteView;
using mms::context;
using mms::ObjectName;

namespace {

using mms::ConnectionEnded;

// The double reads and writes the stream as the listener does; what it answers is its own.
class Connection : public mms::ServerConnection {
public:
    Connection(const Socket& socket, const std::atomic<bool>& stop)
        : ServerConnection(socket, stop, std::chrono::milliseconds(20)) {}

    Bytes tsdu() { return ServerConnection::tsdu(mms::osi::kMaxTsduSize); }
    void sendTpkt(const Bytes& tpdu) { send(mms::osi::tpkt(tpdu)); }
};

Bytes encoded(const std::function<void(BerWriter&)>& write) {
    BerWriter out;
    write(out);
    return out.take();
}

void sessionParameter(Bytes& out, std::uint8_t code, const Bytes& value) {
    out.push_back(code);
    if (value.size() < 255) {
        out.push_back(static_cast<std::uint8_t>(value.size()));
    } else {
        out.insert(out.end(), {0xFF, static_cast<std::uint8_t>(value.size() >> 8),
                               static_cast<std::uint8_t>(value.size() & 0xFF)});
    }
    out.insert(out.end(), value.begin(), value.end());
}

void presentationData(BerWriter& out, int contextId, const Bytes& pdu) {
    out.begin(mms::application(1));
    out.begin(mms::kSequence);
    out.integer(mms::kInteger, contextId);
    out.begin(context(0, true));
    out.raw(pdu);
    out.end();
    out.end();
    out.end();
}

// The session unit's parameters start after its identifier and length octets.
ByteView sessionParameters(ByteView spdu, ByteView& rest) {
    if (spdu.size() < 2) {
        throw ConnectionEnded{};
    }
    std::size_t length = spdu[1];
    std::size_t start = 2;
    if (length == 0xFF) {
        if (spdu.size() < 4) {
            throw ConnectionEnded{};
        }
        length = static_cast<std::size_t>(spdu[2] << 8 | spdu[3]);
        start = 4;
    }
    if (start + length > spdu.size()) {
        throw ConnectionEnded{};
    }
    rest = spdu.subspan(start + length);
    return spdu.subspan(start, length);
}

ObjectName objectName(const BerElement& element) {
    return mms::decodeObjectName(element);
}

} // namespace

MmsServerDouble::MmsServerDouble(Model model, Options options)
    : m_model(std::move(model)), m_options(std::move(options)) {
    m_listener = listenOnLoopback(m_port, "the MMS test server");
    m_thread = std::thread([this] { serve(); });
}

MmsServerDouble::~MmsServerDouble() {
    m_stop = true;
    m_thread.join();
}

unsigned short MmsServerDouble::unusedPort() {
    return unusedLoopbackPort();
}

void MmsServerDouble::serve() {
    // A message the double cannot follow ends the connection, as a device would.
    mms::serveConnections(m_listener, m_stop, std::chrono::milliseconds(20),
                          [this](const Socket& client) { converse(client); });
}

void MmsServerDouble::converse(const Socket& client) {
    Connection connection(client, m_stop);
    const Bytes request = connection.tpdu();
    if (request.size() < 7 || request[1] != 0xE0) {
        return;
    }
    if (m_options.behaviour != Behaviour::Serve) {
        if (m_options.behaviour == Behaviour::RawAnswer) {
            connection.send(m_options.rawAnswer);
        }
        for (;;) {
            connection.tpdu(); // hold the connection until the client or the server goes
        }
    }
    const std::size_t tpduSize = std::size_t{1} << m_options.tpduSizeCode;
    connection.sendTpkt(
        {6 + 3, 0xD0, request[4], request[5], 0x00, 0x02, 0x00, 0xC0, 1, m_options.tpduSizeCode});

    // Session CONNECT -> presentation CP -> ACSE AARQ -> MMS initiate request.
    const Bytes connect = connection.tsdu();
    if (connect.empty() || connect[0] != 13) {
        return;
    }
    ByteView rest;
    ByteView parameters = sessionParameters(connect, rest);
    std::optional<ByteView> userData;
    while (!parameters.empty()) {
        ByteView after;
        const ByteView value = sessionParameters(parameters, after);
        if (parameters[0] == 193) {
            userData = value;
        }
        parameters = after;
    }
    if (!userData) {
        return;
    }
    BerReader cp(*userData);
    BerReader cpSet = BerReader::inside(cp.expect(mms::kSet, "CP"));
    cpSet.expect(context(0, true), "mode");
    BerReader normal = BerReader::inside(cpSet.expect(context(2, true), "normal mode"));
    BerElement element;
    while (!normal.nextIf(mms::application(1), element)) {
        normal.next();
    }
    BerReader pdvList = BerReader::inside(element);
    BerReader pdv = BerReader::inside(pdvList.expect(mms::kSequence, "PDV"));
    pdv.expect(mms::kInteger, "context");
    BerReader aarqOuter = BerReader::inside(pdv.expect(context(0, true), "single ASN.1 type"));
    BerReader aarq = BerReader::inside(aarqOuter.expect(mms::application(0), "AARQ"));
    while (!aarq.nextIf(context(30, true), element)) {
        aarq.next();
    }
    BerReader information = BerReader::inside(element);
    BerReader external = BerReader::inside(information.expect(mms::kExternal, "EXTERNAL"));
    external.expect(mms::kInteger, "indirect reference");
    BerReader initiateOuter = BerReader::inside(external.expect(context(0, true), "single ASN.1 type"));
    initiateOuter.expect(context(8, true), "initiate request");

    static constexpr std::uint8_t kCbb[] = {0xF1, 0x00};
    static constexpr std::uint8_t kServices[] = {0xEE, 0x1C, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x10};
    static constexpr std::uint32_t kMmsContextName[] = {1, 0, 9506, 2, 3};
    static constexpr std::uint32_t kBer[] = {2, 1, 1};
    const Bytes initiate = encoded([&](BerWriter& out) {
        out.begin(context(9, true));
        out.unsignedInteger(context(0), m_options.maxPduSize);
        out.unsignedInteger(context(1), 5);
        out.unsignedInteger(context(2), 5);
        out.unsignedInteger(context(3), 10);
        out.begin(context(4, true));
        out.unsignedInteger(context(0), 1);
        out.bitString(context(1), kCbb, 11);
        out.bitString(context(2), kServices, 85);
        out.end();
        out.end();
    });
    const Bytes aare = encoded([&](BerWriter& out) {
        out.begin(mms::application(1));
        out.begin(context(1, true));
        out.objectIdentifier(mms::kObjectIdentifier, kMmsContextName);
        out.end();
        out.begin(context(2, true));
        out.integer(mms::kInteger, 0);
        out.end();
        out.begin(context(3, true));
        out.begin(context(1, true));
        out.integer(mms::kInteger, 0);
        out.end();
        out.end();
        out.begin(context(30, true));
        out.begin(mms::kExternal);
        out.integer(mms::kInteger, 3);
        out.begin(context(0, true));
        out.raw(initiate);
        out.end();
        out.end();
        out.end();
        out.end();
    });
    const Bytes cpa = encoded([&](BerWriter& out) {
        static constexpr std::uint8_t kVersion[] = {0x80};
        static constexpr std::uint8_t kSelector[] = {0, 0, 0, 1};
        out.begin(mms::kSet);
        out.begin(context(0, true));
        out.integer(context(0), 1);
        out.end();
        out.begin(context(2, true));
        out.bitString(context(0), kVersion, 1);
        out.primitive(context(3), kSelector);
        out.begin(context(5, true));
        for (int i = 0; i < 2; ++i) {
            out.begin(mms::kSequence);
            out.integer(context(0), 0);
            out.objectIdentifier(context(1), kBer);
            out.end();
        }
        out.end();
        presentationData(out, 1, aare);
        out.end();
        out.end();
    });
    Bytes acceptParameters;
    sessionParameter(acceptParameters, 5, {19, 1, 0, 22, 1, 2});
    sessionParameter(acceptParameters, 193, cpa);
    Bytes accept; // a session unit is laid out as a parameter is: identifier, length, content
    sessionParameter(accept, 14, acceptParameters);
    connection.sendTsdu(accept, tpduSize);
    ++m_associations;

    for (std::size_t answered = 0;; ++answered) {
        const Bytes unit = connection.tsdu();
        if (unit.empty()) {
            return;
        }
        if (unit[0] == 9) { // FINISH: release and go
            const Bytes release = encoded([](BerWriter& out) {
                static constexpr std::uint8_t kReleaseResponse[] = {0x63, 0x03, 0x80, 0x01, 0x00};
                presentationData(out, 1, Bytes(std::begin(kReleaseResponse), std::end(kReleaseResponse)));
            });
            Bytes parametersOut;
            sessionParameter(parametersOut, 193, release);
            Bytes disconnect;
            sessionParameter(disconnect, 10, parametersOut);
            connection.sendTsdu(disconnect, tpduSize);
            return;
        }
        if (unit.size() < 4 || unit[0] != 1 || unit[2] != 1) {
            return;
        }
        BerReader presentation(ByteView(unit).subspan(4));
        BerReader list = BerReader::inside(presentation.expect(mms::application(1), "user data"));
        BerReader value = BerReader::inside(list.expect(mms::kSequence, "PDV"));
        value.expect(mms::kInteger, "context");
        const BerElement pdu = value.expect(context(0, true), "single ASN.1 type");
        if (m_options.hangUpAfter != 0 && answered == m_options.hangUpAfter) {
            return;
        }
        const Bytes reply = answer(pdu.content);
        const Bytes data = encoded([&](BerWriter& out) { presentationData(out, 3, reply); });
        Bytes spdu{1, 0, 1, 0};
        spdu.insert(spdu.end(), data.begin(), data.end());
        connection.sendTsdu(spdu, tpduSize);
    }
}

Bytes MmsServerDouble::readAnswer(const ObjectName& name) const {
    const auto domain = m_model.leaves.find(name.domain);
    if (domain == m_model.leaves.end()) {
        return {};
    }
    if (const auto leaf = domain->second.find(name.item); leaf != domain->second.end()) {
        return leaf->second;
    }
    // An item above leaves: the structure of its components, each the next part of the leaves' items.
    const std::string prefix = name.item + "$";
    std::vector<std::string> components;
    for (auto it = domain->second.lower_bound(prefix);
         it != domain->second.end() && it->first.starts_with(prefix); ++it) {
        const std::string component =
            it->first.substr(prefix.size(), it->first.find('$', prefix.size()) - prefix.size());
        if (components.empty() || components.back() != component) {
            components.push_back(component);
        }
    }
    if (components.empty()) {
        return {};
    }
    return encoded([&](BerWriter& out) {
        out.begin(context(2, true));
        for (const std::string& component : components) {
            out.raw(readAnswer({name.domain, prefix + component}));
        }
        out.end();
    });
}

Bytes MmsServerDouble::answer(ByteView request) {
    BerReader top(request);
    const BerElement pdu = top.next();
    if (pdu.tag == context(11)) {
        ++m_concludes;
        return {0x8C, 0x00};
    }
    if (pdu.tag != context(0, true)) {
        throw ConnectionEnded{};
    }
    BerReader fields = BerReader::inside(pdu);
    const auto invokeId =
        static_cast<std::uint32_t>(mms::decodeUnsigned(fields.expect(mms::kInteger, "invoke ID")));
    const BerElement service = fields.next();
    BerReader body = BerReader::inside(service);
    record(service);
    Bytes reply;
    switch (service.tag.number) {
    case 1: { // GetNameList
        BerReader objectClass = BerReader::inside(body.expect(context(0, true), "object class"));
        const std::int64_t kind = mms::decodeInteger(objectClass.next());
        BerReader scope = BerReader::inside(body.expect(context(1, true), "scope"));
        const BerElement scopeElement = scope.next();
        const std::string domain =
            scopeElement.tag == context(1) ? mms::decodeVisibleString(scopeElement) : "";
        BerElement after;
        const std::string continueAfter =
            body.nextIf(context(2), after) ? mms::decodeVisibleString(after) : "";
        std::vector<std::string> names;
        if (kind == 9) {
            for (const auto& [name, leaves] : m_model.leaves) {
                names.push_back(name);
            }
        } else if (kind == 0 && m_model.leaves.count(domain) != 0) {
            for (const auto& [item, data] : m_model.leaves.at(domain)) {
                for (std::size_t cut = item.find('$'); cut != std::string::npos;
                     cut = item.find('$', cut + 1)) {
                    names.push_back(item.substr(0, cut));
                }
                names.push_back(item);
            }
        } else if (kind == 2 && m_model.dataSets.count(domain) != 0) {
            for (const auto& [name, members] : m_model.dataSets.at(domain)) {
                names.push_back(name);
            }
        } else if (kind == 0 || kind == 2) {
            return mms::confirmedErrorPdu(invokeId, 2, 1);
        }
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        auto first = std::upper_bound(names.begin(), names.end(), continueAfter);
        if (continueAfter.empty()) {
            first = names.begin();
        }
        const auto last = first + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                      m_options.namesPerPage, static_cast<std::size_t>(names.end() - first)));
        reply = mms::confirmedResponsePdu(invokeId, [&](BerWriter& out) {
            out.begin(context(1, true));
            out.begin(context(0, true));
            for (auto it = first; it != last; ++it) {
                out.text(mms::kVisibleString, *it);
            }
            out.end();
            out.boolean(context(1), last != names.end());
            out.end();
        });
        break;
    }
    case 4: { // Read
        ++m_readRequests;
        BerReader specification = BerReader::inside(body.expect(context(1, true), "variable access"));
        BerReader variables = BerReader::inside(specification.expect(context(0, true), "list of variables"));
        std::vector<Bytes> results;
        while (!variables.atEnd()) {
            BerReader variable = BerReader::inside(variables.next());
            BerReader name = BerReader::inside(variable.expect(context(0, true), "name"));
            const ObjectName read = objectName(name.next());
            const auto& leftOut = m_options.leftOutOfReads;
            if (std::find(leftOut.begin(), leftOut.end(), read.item) != leftOut.end()) {
                continue;
            }
            Bytes data = readAnswer(read);
            results.push_back(data.empty() ? Bytes{0x80, 0x01, 10} : std::move(data)); // object-non-existent
        }
        reply = mms::confirmedResponsePdu(invokeId, [&](BerWriter& out) {
            out.begin(context(4, true));
            out.begin(context(1, true));
            for (const Bytes& result : results) {
                out.raw(result);
            }
            out.end();
            out.end();
        });
        break;
    }
    case 6: { // GetVariableAccessAttributes
        BerReader name = BerReader::inside(body.expect(context(0, true), "name"));
        const Bytes data = readAnswer(objectName(name.next()));
        if (data.empty()) {
            return mms::confirmedErrorPdu(invokeId, 7, 2);
        }
        reply = mms::confirmedResponsePdu(invokeId, [&](BerWriter& out) {
            out.begin(context(6, true));
            out.boolean(context(0), false);
            out.begin(context(2, true));
            out.raw(Bytes{static_cast<std::uint8_t>(0x80 | (data[0] & 0x1F)), 0}); // the type, no detail
            out.end();
            out.end();
        });
        break;
    }
    case 12: { // GetNamedVariableListAttributes
        const ObjectName list = objectName(body.next());
        const auto domain = m_model.dataSets.find(list.domain);
        if (domain == m_model.dataSets.end() || domain->second.count(list.item) == 0) {
            return mms::confirmedErrorPdu(invokeId, 2, 1);
        }
        reply = mms::confirmedResponsePdu(invokeId, [&](BerWriter& out) {
            out.begin(context(12, true));
            out.boolean(context(0), false);
            out.begin(context(1, true));
            for (const mms::ListMember& member : domain->second.at(list.item)) {
                out.begin(mms::kSequence);
                out.begin(context(0, true));
                mms::encodeObjectName(out, member.name);
                out.end();
                if (!member.access.empty()) {
                    out.begin(context(5, true));
                    mms::encodeAlternateAccess(out, member.access);
                    out.end();
                }
                out.end();
            }
            out.end();
            out.end();
        });
        break;
    }
    default:
        return mms::confirmedErrorPdu(invokeId, 4,
                                      0); // service: primitives out of sequence stand for "unsupported"
    }
    if (reply.size() > m_options.maxPduSize) {
        return mms::confirmedErrorPdu(invokeId, 3, 0); // resource: the answer would not fit
    }
    return reply;
}

void MmsServerDouble::record(const BerElement& service) {
    Request request;
    request.service = service.tag.number;
    try {
        // Read: [1] variable access specification, then [0] its list of variables; Write: the list first.
        BerReader body = BerReader::inside(service);
        BerElement list;
        if (service.tag == context(4, true)) {
            BerElement specification;
            while (!body.atEnd() && !body.nextIf(context(1, true), specification)) {
                body.next();
            }
            BerReader inside = BerReader::inside(specification);
            list = inside.next();
        } else if (service.tag == context(5, true)) {
            list = body.next();
        }
        if (list.tag == context(0, true)) {
            BerReader variables = BerReader::inside(list);
            while (!variables.atEnd()) {
                BerReader variable = BerReader::inside(variables.next());
                BerReader name = BerReader::inside(variable.next());
                request.names.push_back(objectName(name.next()));
            }
        } else if (service.tag == context(6, true)) {
            BerReader name = BerReader::inside(body.next());
            request.names.push_back(objectName(name.next()));
        } else if (service.tag == context(12, true)) {
            request.names.push_back(objectName(body.next()));
        }
    } catch (const std::exception&) {
        // The service is recorded whatever its names.
    }
    const std::lock_guard lock(m_requestsMutex);
    m_requests.push_back(std::move(request));
}

std::vector<MmsServerDouble::Request> MmsServerDouble::requests() const {
    const std::lock_guard lock(m_requestsMutex);
    return m_requests;
}

Bytes MmsServerDouble::boolean(bool value) {
    return {0x83, 0x01, static_cast<std::uint8_t>(value ? 0xFF : 0x00)};
}

Bytes MmsServerDouble::integer(std::int64_t value) {
    return mms::integerData(value);
}

Bytes MmsServerDouble::unsignedValue(std::uint64_t value) {
    return encoded([&](BerWriter& out) { out.unsignedInteger(context(6), value); });
}

Bytes MmsServerDouble::unsigned8(std::uint8_t value) {
    return mms::unsignedData(value, 8);
}

Bytes MmsServerDouble::float32(float value) {
    return mms::float32Data(value);
}

Bytes MmsServerDouble::bitString(const std::string& bits) {
    Bytes packed((bits.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < bits.size(); ++i) {
        if (bits[i] == '1') {
            packed[i / 8] = static_cast<std::uint8_t>(packed[i / 8] | (0x80 >> (i % 8)));
        }
    }
    return encoded([&](BerWriter& out) { out.bitString(context(4), packed, bits.size()); });
}

Bytes MmsServerDouble::visibleString(const std::string& text) {
    return mms::visibleStringData(text);
}

Bytes MmsServerDouble::octetString(const Bytes& octets) {
    return mms::octetStringData(octets);
}

mms::ListMember MmsServerDouble::arrayElement(const std::string& domain, const std::string& item,
                                              std::uint32_t index,
                                              const std::vector<std::string>& components) {
    mms::ListMember member{{domain, item}, {{true, index, {}}}};
    for (const std::string& component : components) {
        member.access.push_back({false, 0, component});
    }
    return member;
}

Bytes MmsServerDouble::structure(const std::vector<Bytes>& members) {
    return encoded([&](BerWriter& out) {
        out.begin(context(2, true));
        for (const Bytes& member : members) {
            out.raw(member);
        }
        out.end();
    });
}

Bytes MmsServerDouble::utcTime(std::uint32_t seconds, std::uint32_t milliseconds) {
    return mms::utcTimeData(seconds, static_cast<std::uint32_t>((std::uint64_t{milliseconds} << 24) / 1000));
}

} // namespace sw::test
