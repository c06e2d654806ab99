#include "core/mms/mms_server.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace sw::mms {

namespace {

// Service error classes and codes, and data access errors.
constexpr std::uint32_t kErrorClassResource = 3;
constexpr std::uint32_t kErrorClassAccess = 7;
constexpr std::int64_t kAccessObjectNonExistent = 2;
constexpr std::int64_t kDataTypeInconsistent = 7;
constexpr std::int64_t kDataObjectAccessDenied = 3;
constexpr std::int64_t kDataObjectNonExistent = 10;

// Reject reasons: of a confirmed request ([1]) and of a PDU that cannot be read at all ([5]).
constexpr std::uint32_t kRejectConfirmedRequest = 1;
constexpr std::uint32_t kRejectPdu = 5;
constexpr std::int64_t kUnrecognizedService = 1;
constexpr std::int64_t kInvalidArgument = 4;
constexpr std::int64_t kInvalidPdu = 1;

// A request the server refuses as a whole: rejected, or answered with a service error.
struct Refusal {
    bool reject = true;
    std::uint32_t errorClass = 0;
    std::int64_t code = 0;
};

Bytes reject(std::optional<std::uint32_t> invokeId, std::uint32_t reasonTag, std::int64_t code) {
    BerWriter out;
    out.begin(context(4, true));
    if (invokeId) {
        out.unsignedInteger(context(0), *invokeId);
    }
    out.integer(context(reasonTag), code);
    out.end();
    return out.take();
}

[[noreturn]] void invalid() {
    throw Refusal{};
}

void collectNames(const ServedNode& node, const std::string& prefix, std::vector<std::string>& names) {
    if (node.type != DataType::Structure) {
        return; // array elements and leaves have no names of their own
    }
    for (const ServedNode& component : node.components) {
        std::string name = prefix + "$" + component.name; // a copy: the list grows below
        names.push_back(name);
        collectNames(component, name, names);
    }
}

template <class Node> Node* findComponent(std::vector<Node>& components, std::string_view name) {
    for (Node& component : components) {
        if (component.name == name) {
            return &component;
        }
    }
    return nullptr;
}

// The part of a node the steps select, or null.
ServedNode* select(ServedNode* node, std::span<const AccessStep> steps) {
    for (const AccessStep& step : steps) {
        if (node == nullptr) {
            return nullptr;
        }
        if (step.isIndex) {
            node = node->type == DataType::Array && step.index < node->components.size()
                       ? &node->components[step.index]
                       : nullptr;
        } else {
            node = node->type == DataType::Structure ? node->component(step.component) : nullptr;
        }
    }
    return node;
}

// Whether `data` is a value of the node's type, to be written in its place.
bool fits(const ServedNode& node, const BerElement& data) {
    if (data.tag.tagClass != TagClass::Context || data.tag.number != static_cast<std::uint32_t>(node.type)) {
        return false;
    }
    const std::size_t length = data.content.size();
    const auto limit = static_cast<std::size_t>(node.size < 0 ? -std::int64_t{node.size} : node.size);
    switch (node.type) {
    case DataType::Structure:
    case DataType::Array: {
        if (!data.tag.constructed) {
            return false;
        }
        BerReader members = BerReader::inside(data);
        for (const ServedNode& component : node.components) {
            if (members.atEnd() || !fits(component, members.next())) {
                return false;
            }
        }
        return members.atEnd();
    }
    case DataType::Boolean:
        return length == 1;
    case DataType::BitString:
        return length >= 1 && data.content[0] < 8 &&
               (length - 1) * 8 - (length > 1 ? data.content[0] : 0) <= limit &&
               (node.size < 0 || (length - 1) * 8 - data.content[0] == limit);
    case DataType::Integer:
    case DataType::Unsigned:
        return length >= 1 && length <= limit / 8 + 1;
    case DataType::FloatingPoint:
        return length == (node.size == 64 ? 9u : 5u);
    case DataType::OctetString:
    case DataType::VisibleString:
    case DataType::MmsString:
        return length <= limit && (node.size < 0 || node.type != DataType::OctetString || length == limit);
    case DataType::UtcTime:
        return length == 8;
    case DataType::BinaryTime:
        return length == 4 || length == 6;
    default:
        return !data.tag.constructed;
    }
}

void store(ServedNode& node, const BerElement& data) {
    if (node.type == DataType::Structure || node.type == DataType::Array) {
        BerReader members = BerReader::inside(data);
        for (ServedNode& component : node.components) {
            store(component, members.next());
        }
        return;
    }
    BerWriter out;
    out.primitive(data.tag, data.content);
    node.value = out.take();
    node.moving = false; // a written value stays as written
}

// How far a measured value has moved after `elapsed`: a triangle of amplitude 10 over two minutes, so
// that values read a second apart differ and stay near what the model holds.
double motion(std::chrono::milliseconds elapsed) {
    const double phase = static_cast<double>(elapsed.count() % 120'000) / 60'000.0; // 0 .. 2
    return 10.0 * (phase <= 1.0 ? phase : 2.0 - phase);
}

Bytes moved(const ServedNode& node, std::chrono::milliseconds elapsed) {
    const Bytes& value = node.value;
    if (node.type == DataType::FloatingPoint && value.size() == 7 && value[2] == 8) {
        std::uint32_t bits = 0;
        for (std::size_t i = 3; i < 7; ++i) {
            bits = bits << 8 | value[i];
        }
        return float32Data(std::bit_cast<float>(bits) + static_cast<float>(motion(elapsed)));
    }
    if (node.type == DataType::Integer && value.size() >= 3 && value.size() <= 10) {
        std::int64_t base = (value[2] & 0x80) != 0 ? -1 : 0;
        for (std::size_t i = 2; i < value.size(); ++i) {
            base = static_cast<std::int64_t>(static_cast<std::uint64_t>(base) << 8 | value[i]);
        }
        if (base > -1'000'000'000 && base < 1'000'000'000) {
            return integerData(base + static_cast<std::int64_t>(std::lround(motion(elapsed))));
        }
    }
    return value;
}

void writeTypeDescription(BerWriter& out, const ServedNode& node) {
    switch (node.type) {
    case DataType::Structure:
        out.begin(context(2, true));
        out.begin(context(1, true));
        for (const ServedNode& component : node.components) {
            out.begin(kSequence);
            out.text(context(0), component.name);
            out.begin(context(1, true));
            writeTypeDescription(out, component);
            out.end();
            out.end();
        }
        out.end();
        out.end();
        return;
    case DataType::Array:
        out.begin(context(1, true));
        out.unsignedInteger(context(1), node.components.size());
        out.begin(context(2, true));
        if (node.components.empty()) {
            out.null(context(3)); // an array of nothing: its elements' type is not kept
        } else {
            writeTypeDescription(out, node.components.front());
        }
        out.end();
        out.end();
        return;
    case DataType::FloatingPoint:
        out.begin(context(7, true));
        out.unsignedInteger(kInteger, node.size == 64 ? 64 : 32);
        out.unsignedInteger(kInteger, node.size == 64 ? 11 : 8);
        out.end();
        return;
    case DataType::BitString:
    case DataType::Integer:
    case DataType::Unsigned:
    case DataType::OctetString:
    case DataType::VisibleString:
    case DataType::MmsString:
        out.integer(context(static_cast<std::uint32_t>(node.type)), node.size);
        return;
    case DataType::BinaryTime:
        out.boolean(context(12), node.size == 6);
        return;
    default:
        out.null(context(static_cast<std::uint32_t>(node.type)));
        return;
    }
}

std::string visibleName(const BerElement& element, const ServerLimits& limits) {
    std::string text = decodeVisibleString(element);
    if (text.size() > limits.maxNameLength) {
        invalid();
    }
    return text;
}

ObjectName objectName(const BerElement& element, const ServerLimits& limits) {
    ObjectName name = decodeObjectName(element);
    if (name.domain.size() > limits.maxNameLength || name.item.size() > limits.maxNameLength) {
        invalid();
    }
    return name;
}

// The variables of a list of variables: each a name and perhaps an alternate access.
std::vector<ListMember> variableList(const BerElement& list, const ServerLimits& limits) {
    std::vector<ListMember> members;
    BerReader variables = BerReader::inside(list);
    while (!variables.atEnd()) {
        if (members.size() == limits.maxVariables) {
            invalid();
        }
        BerReader variable = BerReader::inside(variables.expect(kSequence, "a variable"));
        BerReader specification = BerReader::inside(variable.expect(context(0, true), "a variable name"));
        ListMember member;
        member.name = objectName(specification.next(), limits);
        BerElement access;
        if (variable.nextIf(context(5, true), access)) {
            member.access = decodeAlternateAccess(access);
        }
        if (!specification.atEnd() || !variable.atEnd()) {
            invalid();
        }
        members.push_back(std::move(member));
    }
    return members;
}

// Control models (ctlModel): what an operate needs first.
constexpr std::int64_t kDirectNormal = 1;
constexpr std::int64_t kSelectNormal = 2;
// How long a selection waits for its operate when the model gives no sboTimeout.
constexpr std::chrono::milliseconds kDefaultSelectTimeout{30'000};

// A control object's attribute as the write or read of a variable names it: "CSWI1$CO$Pos$Oper" in
// "LD" -> node "CSWI1", object "Pos" (sub-objects joined by '$'), attribute "Oper".
struct ControlTarget {
    std::string domain;
    std::string node;
    std::string object;
    std::string attribute;
    bool whole = true; // no alternate access into the attribute

    std::string key() const { return domain + "/" + node + "$CO$" + object; }
    ObjectName sibling(std::string_view fc, std::string_view attributeName) const {
        return {domain, node + "$" + std::string(fc) + "$" + object + "$" + std::string(attributeName)};
    }
};

std::optional<ControlTarget> controlTarget(const ListMember& member) {
    const std::string& item = member.name.item;
    const std::size_t first = item.find('$');
    if (first == std::string::npos || item.compare(first, 3, "$CO") != 0 ||
        (item.size() > first + 3 && item[first + 3] != '$')) {
        return std::nullopt;
    }
    ControlTarget target;
    target.domain = member.name.domain;
    target.node = item.substr(0, first);
    target.whole = member.access.empty();
    const std::size_t last = item.rfind('$');
    if (last > first + 3) {
        target.object = item.substr(first + 4, last - first - 4);
        target.attribute = item.substr(last + 1);
    }
    return target;
}

// The value of an integer or unsigned leaf, or nothing.
std::optional<std::int64_t> leafInteger(const ServedNode* node) {
    if (node == nullptr || (node->type != DataType::Integer && node->type != DataType::Unsigned) ||
        node->value.size() < 3 || node->value.size() > 10 || node->value[1] != node->value.size() - 2) {
        return std::nullopt;
    }
    std::int64_t value = node->type == DataType::Integer && (node->value[2] & 0x80) != 0 ? -1 : 0;
    for (std::size_t i = 2; i < node->value.size(); ++i) {
        value = static_cast<std::int64_t>(static_cast<std::uint64_t>(value) << 8 | node->value[i]);
    }
    return value;
}
} // namespace

const ServedNode* ServedNode::component(std::string_view wanted) const {
    return findComponent(const_cast<std::vector<ServedNode>&>(components), wanted);
}

ServedNode* ServedNode::component(std::string_view wanted) {
    return findComponent(components, wanted);
}

void ServedModel::index() {
    std::sort(domains.begin(), domains.end(),
              [](const ServedDomain& a, const ServedDomain& b) { return a.name < b.name; });
    for (ServedDomain& domain : domains) {
        std::sort(domain.variables.begin(), domain.variables.end(),
                  [](const ServedNode& a, const ServedNode& b) { return a.name < b.name; });
        domain.names.clear();
        for (const ServedNode& variable : domain.variables) {
            domain.names.push_back(variable.name);
            collectNames(variable, variable.name, domain.names);
        }
        std::sort(domain.names.begin(), domain.names.end());
    }
}

const ServedDomain* ServedModel::domain(std::string_view name) const {
    return const_cast<ServedModel*>(this)->domain(name);
}

ServedDomain* ServedModel::domain(std::string_view name) {
    const auto found = std::lower_bound(domains.begin(), domains.end(), name,
                                        [](const ServedDomain& d, std::string_view n) { return d.name < n; });
    return found != domains.end() && found->name == name ? &*found : nullptr;
}

ServedNode* ServedModel::find(const ObjectName& name) {
    ServedDomain* holder = domain(name.domain);
    if (holder == nullptr) {
        return nullptr;
    }
    std::string_view rest = name.item;
    const std::size_t cut = rest.find('$');
    const std::string_view first = rest.substr(0, cut);
    const auto found =
        std::lower_bound(holder->variables.begin(), holder->variables.end(), first,
                         [](const ServedNode& node, std::string_view n) { return node.name < n; });
    if (found == holder->variables.end() || found->name != first) {
        return nullptr;
    }
    ServedNode* node = &*found;
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    while (node != nullptr && cut != std::string_view::npos) {
        const std::size_t next = rest.find('$');
        node = node->type == DataType::Structure ? node->component(rest.substr(0, next)) : nullptr;
        if (next == std::string_view::npos) {
            break;
        }
        rest = rest.substr(next + 1);
    }
    return node;
}

Bytes booleanData(bool value) {
    return {0x83, 0x01, static_cast<std::uint8_t>(value ? 0x01 : 0x00)};
}

Bytes integerData(std::int64_t value) {
    BerWriter out;
    out.integer(context(5), value);
    return out.take();
}

Bytes unsignedData(std::uint64_t value, std::int32_t bits) {
    if (bits == 8 && value <= 0xFF) {
        return {0x86, 0x01, static_cast<std::uint8_t>(value)};
    }
    BerWriter out;
    out.unsignedInteger(context(6), value);
    return out.take();
}

Bytes float32Data(float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    return {0x87,
            0x05,
            0x08,
            static_cast<std::uint8_t>(bits >> 24),
            static_cast<std::uint8_t>(bits >> 16),
            static_cast<std::uint8_t>(bits >> 8),
            static_cast<std::uint8_t>(bits)};
}

Bytes float64Data(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    Bytes out{0x87, 0x09, 0x0B};
    for (int shift = 56; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
    return out;
}

Bytes bitStringData(std::uint64_t bits, std::size_t count) {
    std::uint8_t packed[8] = {};
    count = std::min<std::size_t>(count, 64);
    for (std::size_t i = 0; i < count; ++i) {
        if ((bits >> i & 1) != 0) {
            packed[i / 8] = static_cast<std::uint8_t>(packed[i / 8] | (0x80u >> (i % 8)));
        }
    }
    BerWriter out;
    out.bitString(context(4), packed, count);
    return out.take();
}

Bytes octetStringData(ByteView octets) {
    BerWriter out;
    out.primitive(context(9), octets);
    return out.take();
}

Bytes visibleStringData(std::string_view text) {
    BerWriter out;
    out.text(context(10), text);
    return out.take();
}

Bytes mmsStringData(std::string_view text) {
    BerWriter out;
    out.text(context(16), text);
    return out.take();
}

Bytes utcTimeData(std::uint32_t seconds, std::uint32_t fraction, std::uint8_t quality) {
    return {0x91,
            0x08,
            static_cast<std::uint8_t>(seconds >> 24),
            static_cast<std::uint8_t>(seconds >> 16),
            static_cast<std::uint8_t>(seconds >> 8),
            static_cast<std::uint8_t>(seconds),
            static_cast<std::uint8_t>(fraction >> 16),
            static_cast<std::uint8_t>(fraction >> 8),
            static_cast<std::uint8_t>(fraction),
            quality};
}

Bytes binaryTimeData(bool withDate) {
    Bytes out{0x8C, static_cast<std::uint8_t>(withDate ? 6 : 4)};
    out.resize(out.size() + out[1], 0);
    return out;
}

Bytes neutralData(const ServedNode& node) {
    const auto size = static_cast<std::size_t>(node.size < 0 ? 0 : node.size);
    switch (node.type) {
    case DataType::Boolean:
        return booleanData(false);
    case DataType::BitString:
        return bitStringData(0, size);
    case DataType::Integer:
        return integerData(0);
    case DataType::Unsigned:
        return unsignedData(0, node.size);
    case DataType::FloatingPoint:
        return node.size == 64 ? float64Data(0.0) : float32Data(0.0F);
    case DataType::OctetString:
        return octetStringData(Bytes(size, 0));
    case DataType::VisibleString:
        return visibleStringData({});
    case DataType::MmsString:
        return mmsStringData({});
    case DataType::UtcTime:
        return utcTimeData(0);
    case DataType::BinaryTime:
        return binaryTimeData(node.size == 6);
    default:
        return booleanData(false);
    }
}

MmsServer::MmsServer(ServedModel model, ServerLimits limits) : m_model(std::move(model)), m_limits(limits) {
    m_model.index();
    const auto start = std::chrono::steady_clock::now();
    m_clock = [start] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                     start);
    };
}

Bytes MmsServer::initiate(ByteView request, Association& association) const {
    std::uint64_t proposed = m_limits.maxPduSize;
    std::uint64_t outstandingCalling = 5;
    std::uint64_t outstandingCalled = 5;
    std::uint64_t nesting = kProposedNestingLevel;
    try {
        BerReader top(request);
        BerReader fields = BerReader::inside(top.expect(context(8, true), "the initiate request"));
        while (!fields.atEnd()) {
            const BerElement field = fields.next();
            if (field.tag == context(0)) {
                proposed = decodeUnsigned(field);
            } else if (field.tag == context(1)) {
                outstandingCalling = decodeUnsigned(field);
            } else if (field.tag == context(2)) {
                outstandingCalled = decodeUnsigned(field);
            } else if (field.tag == context(3)) {
                nesting = decodeUnsigned(field);
            }
        }
    } catch (const ProtocolError&) {
        // initiate-ErrorPDU: class initiate, code other
        return {0xAA, 0x05, 0xA0, 0x03, 0x88, 0x01, 0x00};
    }
    // The smaller of the two sizes, and never below what one variable's answer needs.
    association.maxPduSize =
        static_cast<std::uint32_t>(std::clamp<std::uint64_t>(proposed, 1024, m_limits.maxPduSize));
    static constexpr std::uint8_t kParameterCbb[] = {0xF1, 0x00};
    // getNameList, read, write, getVariableAccessAttributes, getNamedVariableListAttributes, conclude.
    static constexpr std::uint8_t kServices[] = {0x4E, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0x10};
    BerWriter out;
    out.begin(context(9, true));
    out.unsignedInteger(context(0), association.maxPduSize);
    out.unsignedInteger(context(1), std::clamp<std::uint64_t>(outstandingCalling, 1, 5));
    out.unsignedInteger(context(2), std::clamp<std::uint64_t>(outstandingCalled, 1, 5));
    out.unsignedInteger(context(3), std::min<std::uint64_t>(nesting, kProposedNestingLevel));
    out.begin(context(4, true));
    out.unsignedInteger(context(0), 1);
    out.bitString(context(1), kParameterCbb, 11);
    out.bitString(context(2), kServices, 85);
    out.end();
    out.end();
    return out.take();
}

Bytes MmsServer::answer(ByteView pdu, Association& association) {
    std::optional<std::uint32_t> invokeId;
    try {
        BerReader top(pdu);
        const BerElement element = top.next();
        if (!top.atEnd()) {
            return reject(std::nullopt, kRejectPdu, kInvalidPdu);
        }
        if (element.tag == context(11)) { // conclude
            association.concluded = true;
            return {0x8C, 0x00};
        }
        if (element.tag != context(0, true)) {
            return reject(std::nullopt, kRejectPdu, 0); // unknown PDU type
        }
        BerReader fields = BerReader::inside(element);
        const std::uint64_t id = decodeUnsigned(fields.expect(kInteger, "the invoke ID"));
        if (id > 0xFFFFFFFF) {
            return reject(std::nullopt, kRejectPdu, kInvalidPdu);
        }
        invokeId = static_cast<std::uint32_t>(id);
        const BerElement service = fields.next();
        if (!fields.atEnd()) {
            return reject(invokeId, kRejectConfirmedRequest, kInvalidArgument);
        }
        const std::lock_guard lock(m_mutex);
        if (association.id == 0) {
            association.id = ++m_associations;
        }
        m_caller = association.id;
        return confirmed(*invokeId, service,
                         association.maxPduSize == 0 ? m_limits.maxPduSize : association.maxPduSize);
    } catch (const Refusal& refusal) {
        if (!refusal.reject && invokeId) {
            return confirmedErrorPdu(*invokeId, refusal.errorClass, refusal.code);
        }
        return reject(invokeId, kRejectConfirmedRequest, kInvalidArgument);
    } catch (const ProtocolError&) {
        return invokeId ? reject(invokeId, kRejectConfirmedRequest, kInvalidArgument)
                        : reject(std::nullopt, kRejectPdu, kInvalidPdu);
    }
}

Bytes MmsServer::confirmed(std::uint32_t invokeId, const BerElement& service, std::uint32_t maxPduSize) {
    if (service.tag.tagClass != TagClass::Context || !service.tag.constructed) {
        return reject(invokeId, kRejectConfirmedRequest, kUnrecognizedService);
    }
    Bytes reply;
    switch (service.tag.number) {
    case kGetNameList:
        reply = getNameList(invokeId, service, maxPduSize);
        break;
    case kRead:
        reply = read(invokeId, service);
        break;
    case kWrite:
        reply = write(invokeId, service);
        break;
    case kGetVariableAccessAttributes:
        reply = variableAttributes(invokeId, service);
        break;
    case kGetNamedVariableListAttributes:
        reply = listAttributes(invokeId, service);
        break;
    default:
        return reject(invokeId, kRejectConfirmedRequest, kUnrecognizedService);
    }
    if (reply.size() > maxPduSize) {
        return confirmedErrorPdu(invokeId, kErrorClassResource, 0); // the answer would not fit
    }
    return reply;
}

Bytes MmsServer::getNameList(std::uint32_t invokeId, const BerElement& service, std::uint32_t maxPduSize) {
    BerReader body = BerReader::inside(service);
    BerReader objectClass = BerReader::inside(body.expect(context(0, true), "the object class"));
    const std::int64_t kind = decodeInteger(objectClass.expect(context(0), "the basic object class"));
    BerReader scope = BerReader::inside(body.expect(context(1, true), "the scope"));
    const BerElement scopeElement = scope.next();
    BerElement after;
    const std::string continueAfter = body.nextIf(context(2), after) ? visibleName(after, m_limits) : "";
    if (!body.atEnd() || !scope.atEnd() || !objectClass.atEnd()) {
        invalid();
    }
    std::vector<std::string> listed;
    const std::vector<std::string>* names = &listed;
    if (scopeElement.tag == context(1)) {
        const ServedDomain* domain = m_model.domain(visibleName(scopeElement, m_limits));
        if (domain == nullptr) {
            throw Refusal{false, kErrorClassAccess, kAccessObjectNonExistent};
        }
        if (kind == 0) {
            names = &domain->names;
        } else if (kind == 2) {
            for (const auto& [name, members] : domain->lists) {
                listed.push_back(name);
            }
        }
    } else if (scopeElement.tag == context(0) && kind == 9) {
        for (const ServedDomain& domain : m_model.domains) {
            listed.push_back(domain.name);
        }
    } else if (scopeElement.tag != context(0) && scopeElement.tag != context(2)) {
        invalid();
    }
    auto first = continueAfter.empty() ? names->begin()
                                       : std::upper_bound(names->begin(), names->end(), continueAfter);
    // Names while the answer stays within the negotiated size, with room for its envelope.
    std::size_t room = maxPduSize > 32 ? maxPduSize - 32 : 0;
    auto last = first;
    while (last != names->end()) {
        const std::size_t size = last->size() + (last->size() < 128 ? 2 : 4);
        if (size > room) {
            break;
        }
        room -= size;
        ++last;
    }
    const bool more = last != names->end();
    return confirmedResponsePdu(invokeId, [&](BerWriter& out) {
        out.begin(context(1, true));
        out.begin(context(0, true));
        for (auto it = first; it != last; ++it) {
            out.text(kVisibleString, *it);
        }
        out.end();
        if (!more) {
            out.boolean(context(1), false); // true is the default and left out
        }
        out.end();
    });
}

void MmsServer::encodeValue(BerWriter& out, const ServedNode& node) const {
    if (node.type == DataType::Structure || node.type == DataType::Array) {
        out.begin(context(static_cast<std::uint32_t>(node.type), true));
        for (const ServedNode& component : node.components) {
            encodeValue(out, component);
        }
        out.end();
    } else {
        out.raw(node.moving ? moved(node, m_clock()) : node.value);
    }
}

void MmsServer::readResult(BerWriter& out, const ListMember& member) {
    const ServedNode* node = select(m_model.find(member.name), member.access);
    if (node == nullptr) {
        out.integer(context(0), kDataObjectNonExistent);
        return;
    }
    if (const std::optional<Bytes> selected = selectControl(member)) {
        out.raw(*selected);
        return;
    }
    encodeValue(out, *node);
}

Bytes MmsServer::read(std::uint32_t invokeId, const BerElement& service) {
    BerReader body = BerReader::inside(service);
    BerElement element;
    body.nextIf(context(0), element); // whether the answer names the variables again: it never does
    BerReader specification = BerReader::inside(body.expect(context(1, true), "the variable access"));
    const BerElement which = specification.next();
    if (!specification.atEnd() || !body.atEnd()) {
        invalid();
    }
    std::vector<ListMember> members;
    if (which.tag == context(0, true)) {
        members = variableList(which, m_limits);
    } else if (which.tag == context(1, true)) {
        BerReader listName = BerReader::inside(which);
        const ObjectName name = objectName(listName.next(), m_limits);
        const ServedDomain* domain = m_model.domain(name.domain);
        if (domain == nullptr || domain->lists.count(name.item) == 0) {
            throw Refusal{false, kErrorClassAccess, kAccessObjectNonExistent};
        }
        members = domain->lists.at(name.item);
    } else {
        invalid();
    }
    return confirmedResponsePdu(invokeId, [&](BerWriter& out) {
        out.begin(context(4, true));
        out.begin(context(1, true));
        for (const ListMember& member : members) {
            readResult(out, member);
        }
        out.end();
        out.end();
    });
}

Bytes MmsServer::write(std::uint32_t invokeId, const BerElement& service) {
    BerReader body = BerReader::inside(service);
    const std::vector<ListMember> members =
        variableList(body.expect(context(0, true), "the list of variables"), m_limits);
    BerReader data = BerReader::inside(body.expect(context(0, true), "the list of data"));
    std::vector<BerElement> values;
    while (!data.atEnd() && values.size() <= members.size()) {
        values.push_back(data.next());
    }
    if (values.size() != members.size() || !data.atEnd() || !body.atEnd()) {
        invalid();
    }
    return confirmedResponsePdu(invokeId, [&](BerWriter& out) {
        out.begin(context(5, true));
        for (std::size_t i = 0; i < members.size(); ++i) {
            ServedNode* node = select(m_model.find(members[i].name), members[i].access);
            if (node == nullptr) {
                out.integer(context(0), kDataObjectNonExistent);
            } else if (!fits(*node, values[i])) {
                out.integer(context(0), kDataTypeInconsistent);
            } else if (const auto target = controlTarget(members[i])) {
                if (const std::optional<std::int64_t> refused = writeControl(members[i], values[i])) {
                    out.integer(context(0), *refused);
                } else {
                    out.null(context(1));
                }
            } else {
                store(*node, values[i]);
                out.null(context(1));
            }
        }
        out.end();
    });
}

Bytes MmsServer::variableAttributes(std::uint32_t invokeId, const BerElement& service) {
    BerReader body = BerReader::inside(service);
    BerReader name = BerReader::inside(body.expect(context(0, true), "the variable name"));
    const ServedNode* node = m_model.find(objectName(name.next(), m_limits));
    if (!name.atEnd() || !body.atEnd()) {
        invalid();
    }
    if (node == nullptr) {
        throw Refusal{false, kErrorClassAccess, kAccessObjectNonExistent};
    }
    return confirmedResponsePdu(invokeId, [&](BerWriter& out) {
        out.begin(context(6, true));
        out.primitive(context(0), Bytes{0x00});
        out.begin(context(2, true));
        writeTypeDescription(out, *node);
        out.end();
        out.end();
    });
}

Bytes MmsServer::listAttributes(std::uint32_t invokeId, const BerElement& service) {
    BerReader body = BerReader::inside(service);
    const ObjectName name = objectName(body.next(), m_limits);
    if (!body.atEnd()) {
        invalid();
    }
    const ServedDomain* domain = m_model.domain(name.domain);
    if (domain == nullptr || domain->lists.count(name.item) == 0) {
        throw Refusal{false, kErrorClassAccess, kAccessObjectNonExistent};
    }
    return confirmedResponsePdu(invokeId, [&](BerWriter& out) {
        out.begin(context(12, true));
        out.primitive(context(0), Bytes{0x00});
        out.begin(context(1, true));
        for (const ListMember& member : domain->lists.at(name.item)) {
            out.begin(kSequence);
            out.begin(context(0, true));
            encodeObjectName(out, member.name);
            out.end();
            if (!member.access.empty()) {
                out.begin(context(5, true));
                encodeAlternateAccess(out, member.access);
                out.end();
            }
            out.end();
        }
        out.end();
        out.end();
    });
}

std::optional<Bytes> MmsServer::selectControl(const ListMember& member) {
    const std::optional<ControlTarget> target = controlTarget(member);
    if (!target || !target->whole || target->attribute != "SBO") {
        return std::nullopt;
    }
    const std::chrono::milliseconds now = m_clock();
    const std::string key = target->key();
    const auto held = m_selections.find(key);
    const bool free =
        held == m_selections.end() || held->second.association == m_caller || held->second.until <= now;
    if (!free || leafInteger(m_model.find(target->sibling("CF", "ctlModel"))) != kSelectNormal) {
        return visibleStringData("");
    }
    const std::optional<std::int64_t> timeout =
        leafInteger(m_model.find(target->sibling("CF", "sboTimeout")));
    m_selections[key] = {m_caller, now + (timeout && *timeout > 0 ? std::chrono::milliseconds(*timeout)
                                                                  : kDefaultSelectTimeout)};
    return visibleStringData(key);
}

std::optional<std::int64_t> MmsServer::writeControl(const ListMember& member, const BerElement& data) {
    const std::optional<ControlTarget> target = controlTarget(member);
    if (!target->whole || (target->attribute != "Oper" && target->attribute != "Cancel") ||
        !data.tag.constructed) {
        return kDataObjectAccessDenied;
    }
    const std::string key = target->key();
    const auto held = m_selections.find(key);
    const bool selected =
        held != m_selections.end() && held->second.association == m_caller && held->second.until > m_clock();
    if (held != m_selections.end() && held->second.until <= m_clock()) {
        m_selections.erase(held); // expired
    }
    const std::optional<std::int64_t> model = leafInteger(m_model.find(target->sibling("CF", "ctlModel")));
    if (target->attribute == "Cancel") {
        if (!selected) {
            return kDataObjectAccessDenied;
        }
        m_selections.erase(key);
        return std::nullopt;
    }
    if (model != kDirectNormal && !(model == kSelectNormal && selected)) {
        return kDataObjectAccessDenied;
    }
    m_selections.erase(key); // an operate ends the selection
    ServedNode* status = m_model.find(target->sibling("ST", "stVal"));
    BerReader fields = BerReader::inside(data);
    const BerElement control = fields.next(); // ctlVal comes first
    if (status != nullptr) {
        if (status->type == DataType::BitString && status->size == 2 && control.tag == context(3) &&
            control.content.size() == 1) {
            status->value = bitStringData(control.content[0] != 0 ? 1 : 2, 2); // on "10", off "01"
        } else if (fits(*status, control)) {
            store(*status, control);
        }
        if (ServedNode* time = m_model.find(target->sibling("ST", "t"));
            time != nullptr && time->type == DataType::UtcTime) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                std::chrono::system_clock::now().time_since_epoch());
            time->value = utcTimeData(static_cast<std::uint32_t>(seconds.count()));
        }
    }
    return std::nullopt;
}

Bytes MmsServer::value(const ObjectName& name) {
    const std::lock_guard lock(m_mutex);
    const ServedNode* node = m_model.find(name);
    if (node == nullptr) {
        return {};
    }
    BerWriter out;
    encodeValue(out, *node);
    return out.take();
}

} // namespace sw::mms
