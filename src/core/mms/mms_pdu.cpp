#include "core/mms/mms_pdu.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>

namespace sw::mms {

namespace {

// A value's text is for one line of output. Strings up to the longest an IEC 61850 type holds show whole;
// anything longer, and structures, arrays, bit and octet strings beyond the line's length, end in the
// cut mark, so that a reader never takes a cut value for the server's.
constexpr std::size_t kMaxValueText = 200;
constexpr std::size_t kMaxStringCharacters = 255;
constexpr std::string_view kCutMark = "\xE2\x80\xA6"; // U+2026, the ellipsis as one character

[[noreturn]] void fail(std::size_t offset, const std::string& what) {
    throw ProtocolError("Malformed message from the server: " + what + " (at byte " + std::to_string(offset) +
                        ").");
}

void writeObjectName(BerWriter& out, const ObjectName& name) {
    if (name.domain.empty()) {
        out.text(context(0), name.item);
        return;
    }
    out.begin(context(1, true));
    out.text(kVisibleString, name.domain);
    out.text(kVisibleString, name.item);
    out.end();
}

ObjectName readObjectName(const BerElement& element) {
    ObjectName name;
    if (element.tag == context(0) || element.tag == context(2)) {
        name.item = decodeVisibleString(element);
        return name;
    }
    if (element.tag != context(1, true)) {
        fail(element.offset, "an object name was expected, not " + describeTag(element.tag));
    }
    BerReader parts = BerReader::inside(element);
    name.domain = decodeVisibleString(parts.expect(kVisibleString, "the domain of an object name"));
    name.item = decodeVisibleString(parts.expect(kVisibleString, "the item of an object name"));
    return name;
}

Bytes confirmedRequest(std::uint32_t invokeId, const std::function<void(BerWriter&)>& service) {
    BerWriter out;
    out.begin(context(0, true));
    out.unsignedInteger(kInteger, invokeId);
    service(out);
    out.end();
    return out.take();
}

// Cuts `text` to at most `size` octets without splitting a UTF-8 sequence, and marks that something was
// left out.
void cutText(std::string& text, std::size_t size) {
    if (text.size() > size) {
        while (size > 0 && (static_cast<std::uint8_t>(text[size]) & 0xC0) == 0x80) {
            --size;
        }
        text.resize(size);
    }
    text += kCutMark;
}

// The string in quotes with quotes, backslashes and control characters escaped; characters (UTF-8 lead
// octets) beyond kMaxStringCharacters are left out and the cut marked after the closing quote.
void appendEscaped(std::string& out, const std::uint8_t* bytes, std::size_t size) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    std::size_t characters = 0;
    std::size_t i = 0;
    for (; i < size; ++i) {
        const std::uint8_t c = bytes[i];
        if ((c & 0xC0) != 0x80 && characters++ == kMaxStringCharacters) {
            break;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
    if (i < size) {
        out += kCutMark;
    }
}

// An alternate access (a sequence of selections) as a path of steps. A path selects one part at each
// level; a selection of several components, of a range of elements or of all of them, or a named one,
// is refused as more than the check compares.
void readAlternateAccess(const BerElement& access, std::vector<AccessStep>& path) {
    BerReader selections = BerReader::inside(access);
    if (selections.atEnd()) {
        fail(access.offset, "an alternate access selects nothing");
    }
    // What a list member may select but one reference cannot name.
    const auto notCompared = [](const std::string& what, std::size_t offset) {
        throw ProtocolError("The server's list member " + what + " (at byte " + std::to_string(offset) +
                            "), which the check does not compare.");
    };
    const BerElement selection = selections.next();
    if (!selections.atEnd()) {
        notCompared("selects several parts of its variable", access.offset);
    }
    if (path.size() >= kMaxAccessSteps) {
        fail(selection.offset,
             "an alternate access is more than " + std::to_string(kMaxAccessSteps) + " steps deep");
    }
    const auto component = [&path](const BerElement& element) {
        AccessStep step;
        step.component = decodeVisibleString(element);
        if (step.component.empty()) {
            fail(element.offset, "an alternate access names an empty component");
        }
        path.push_back(std::move(step));
    };
    const auto index = [&path](const BerElement& element) {
        const std::uint64_t value = decodeUnsigned(element);
        if (value > 0xFFFFFFFF) {
            fail(element.offset, "an array index of " + std::to_string(value) + " is out of range");
        }
        path.push_back({true, static_cast<std::uint32_t>(value), {}});
    };
    const auto unsupported = [&notCompared](const BerElement& element) {
        notCompared("selects a range or all elements of an array", element.offset);
    };
    if (selection.tag == context(0, true)) { // selectAlternateAccess: one selection, then a further access
        BerReader inner = BerReader::inside(selection);
        const BerElement first = inner.next();
        if (first.tag == context(0)) {
            component(first);
        } else if (first.tag == context(1)) {
            index(first);
        } else if (first.tag == context(2, true) || first.tag == context(3)) {
            unsupported(first);
        } else {
            fail(first.offset, "an access selection was expected, not " + describeTag(first.tag));
        }
        readAlternateAccess(inner.expect(kSequence, "the alternate access after a selection"), path);
        if (!inner.atEnd()) {
            fail(inner.offset(), "bytes follow an alternate access");
        }
    } else if (selection.tag == context(1)) {
        component(selection);
    } else if (selection.tag == context(2)) {
        index(selection);
    } else if (selection.tag == context(3, true) || selection.tag == context(4)) {
        unsupported(selection);
    } else if (selection.tag == context(5, true)) {
        notCompared("has a named alternate access", selection.offset);
    } else {
        fail(selection.offset,
             "an alternate access selection was expected, not " + describeTag(selection.tag));
    }
}

std::string hex(ByteView bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (const std::uint8_t b : bytes) {
        if (out.size() >= kMaxValueText) {
            out += kCutMark;
            break;
        }
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

std::string dateTimeText(std::int64_t seconds, std::int64_t milliseconds) {
    using namespace std::chrono;
    const sys_days day{days{seconds / 86400}};
    const year_month_day date{day};
    const std::int64_t inDay = seconds % 86400;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<long long>(inDay / 3600),
                  static_cast<long long>(inDay / 60 % 60), static_cast<long long>(inDay % 60),
                  static_cast<long long>(milliseconds));
    return text;
}

// An MMS unsigned value. Servers that keep an 8-bit number write 255 as the single octet ff, which as a
// two's-complement integer would be -1: the octets are the number's bits, read as unsigned within 64 bits
// (a leading zero octet, as minimal encoders write before a set top bit, counts for nothing).
std::uint64_t unsignedData(const BerElement& element) {
    requirePrimitive(element, "an unsigned integer");
    ByteView c = element.content;
    if (c.empty()) {
        fail(element.offset, "an integer has no content");
    }
    while (c.size() > 1 && c[0] == 0) {
        c = c.subspan(1);
    }
    if (c.size() > 8) {
        fail(element.offset,
             "an unsigned integer of " + std::to_string(element.content.size()) + " octets is too large");
    }
    std::uint64_t value = 0;
    for (const std::uint8_t octet : c) {
        value = value << 8 | octet;
    }
    return value;
}

std::string floatText(const BerElement& element) {
    const ByteView c = element.content;
    char text[32];
    if (c.size() == 5 && c[0] == 8) {
        std::uint32_t bits = 0;
        for (std::size_t i = 1; i < 5; ++i) {
            bits = bits << 8 | c[i];
        }
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        return std::string(text, end);
    }
    if (c.size() == 9 && c[0] == 11) {
        std::uint64_t bits = 0;
        for (std::size_t i = 1; i < 9; ++i) {
            bits = bits << 8 | c[i];
        }
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        return std::string(text, end);
    }
    fail(element.offset,
         "a floating-point value of " + std::to_string(c.size()) + " octets and exponent width " +
             (c.empty() ? std::string("none") : std::to_string(c[0])) + " is not single or double");
}

} // namespace

std::string_view dataTypeName(DataType type) {
    static constexpr std::array<std::string_view, 18> kNames = {
        "unknown",     "array",        "structure",      "boolean",
        "bit-string",  "integer",      "unsigned",       "floating-point",
        "real",        "octet-string", "visible-string", "generalized-time",
        "binary-time", "bcd",          "boolean-array",  "object-identifier",
        "mms-string",  "utc-time"};
    const auto index = static_cast<std::size_t>(type);
    return index < kNames.size() ? kNames[index] : kNames[0];
}

bool ServiceError::objectMissing() const {
    // definition/object-undefined, access/object-non-existent
    return !rejected && ((errorClass == 2 && code == 1) || (errorClass == 7 && code == 2));
}

std::string ServiceError::text() const {
    if (rejected) {
        return "request rejected (reason " + std::to_string(errorClass) + "/" + std::to_string(code) + ")";
    }
    static constexpr std::array<std::string_view, 13> kClasses = {"vmd-state",       "application-reference",
                                                                  "definition",      "resource",
                                                                  "service",         "service-preempt",
                                                                  "time-resolution", "access",
                                                                  "initiate",        "conclude",
                                                                  "cancel",          "file",
                                                                  "others"};
    std::string out = "service error ";
    if (errorClass >= 0 && static_cast<std::size_t>(errorClass) < kClasses.size()) {
        out += kClasses[static_cast<std::size_t>(errorClass)];
    } else {
        out += "class " + std::to_string(errorClass);
    }
    return out + " " + std::to_string(code);
}

std::string ListMember::accessText() const {
    std::string out;
    for (const AccessStep& step : access) {
        out += step.isIndex ? "(" + std::to_string(step.index) + ")" : "." + step.component;
    }
    return out;
}

bool AccessResult::objectMissing() const {
    // object-undefined (4), object-non-existent (10)
    if (!unusable.empty()) {
        return false;
    }
    if (refused) {
        return refused->objectMissing();
    }
    return !value && (error == 4 || error == 10);
}

std::string AccessResult::errorText() const {
    static constexpr std::array<std::string_view, 12> kErrors = {
        "object-invalidated",        "hardware-fault",      "temporarily-unavailable",
        "object-access-denied",      "object-undefined",    "invalid-address",
        "type-unsupported",          "type-inconsistent",   "object-attribute-inconsistent",
        "object-access-unsupported", "object-non-existent", "object-value-invalid"};
    if (!unusable.empty()) {
        return unusable;
    }
    if (refused) {
        return refused->text();
    }
    if (error >= 0 && static_cast<std::size_t>(error) < kErrors.size()) {
        return std::string(kErrors[static_cast<std::size_t>(error)]);
    }
    return "data access error " + std::to_string(error);
}

// --- Requests ---

void encodeObjectName(BerWriter& out, const ObjectName& name) {
    writeObjectName(out, name);
}

ObjectName decodeObjectName(const BerElement& element) {
    return readObjectName(element);
}

void encodeAlternateAccess(BerWriter& out, std::span<const AccessStep> steps) {
    const AccessStep& step = steps.front();
    if (steps.size() == 1) {
        if (step.isIndex) {
            out.unsignedInteger(context(2), step.index);
        } else {
            out.text(context(1), step.component);
        }
        return;
    }
    out.begin(context(0, true));
    if (step.isIndex) {
        out.unsignedInteger(context(1), step.index);
    } else {
        out.text(context(0), step.component);
    }
    out.begin(kSequence);
    encodeAlternateAccess(out, steps.subspan(1));
    out.end();
    out.end();
}

std::vector<AccessStep> decodeAlternateAccess(const BerElement& access) {
    std::vector<AccessStep> steps;
    readAlternateAccess(access, steps);
    return steps;
}

Bytes initiateRequest(std::uint32_t maxPduSize) {
    // Parameter CBB: str1, str2, vnam, valt, vlis (what IEC 61850-8-1 asks of a client).
    static constexpr std::uint8_t kParameterCbb[] = {0xF1, 0x00};
    // Services: status, getNameList, identify, read, write, getVariableAccessAttributes,
    // getNamedVariableListAttributes, informationReport, conclude (85 bits).
    static constexpr std::uint8_t kServices[] = {0xEE, 0x08, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x10};
    BerWriter out;
    out.begin(context(8, true));
    out.unsignedInteger(context(0), maxPduSize);
    out.unsignedInteger(context(1), 5);
    out.unsignedInteger(context(2), 5);
    out.unsignedInteger(context(3), kProposedNestingLevel);
    out.begin(context(4, true));
    out.unsignedInteger(context(0), 1);
    out.bitString(context(1), kParameterCbb, 11);
    out.bitString(context(2), kServices, 85);
    out.end();
    out.end();
    return out.take();
}

Bytes concludeRequest() {
    BerWriter out;
    out.null(context(11));
    return out.take();
}

Bytes getNameListRequest(std::uint32_t invokeId, ObjectClass objectClass, std::string_view domain,
                         std::string_view continueAfter) {
    return confirmedRequest(invokeId, [&](BerWriter& out) {
        out.begin(context(kGetNameList, true));
        out.begin(context(0, true));
        out.unsignedInteger(context(0), static_cast<std::uint8_t>(objectClass));
        out.end();
        out.begin(context(1, true));
        if (domain.empty()) {
            out.null(context(0));
        } else {
            out.text(context(1), domain);
        }
        out.end();
        if (!continueAfter.empty()) {
            out.text(context(2), continueAfter);
        }
        out.end();
    });
}

Bytes readRequest(std::uint32_t invokeId, const std::vector<ObjectName>& variables) {
    return confirmedRequest(invokeId, [&](BerWriter& out) {
        out.begin(context(kRead, true));
        out.begin(context(1, true)); // variableAccessSpecification
        out.begin(context(0, true)); // listOfVariable
        for (const ObjectName& variable : variables) {
            out.begin(kSequence);
            out.begin(context(0, true)); // variableSpecification: name
            writeObjectName(out, variable);
            out.end();
            out.end();
        }
        out.end();
        out.end();
        out.end();
    });
}

std::size_t readRequestItemSize(const ObjectName& variable) {
    // Each of the four nested elements adds at most 1 tag and 3 length octets.
    return variable.domain.size() + variable.item.size() + 4 * 4 + 2 * 4;
}

Bytes getVariableAccessAttributesRequest(std::uint32_t invokeId, const ObjectName& variable) {
    return confirmedRequest(invokeId, [&](BerWriter& out) {
        out.begin(context(kGetVariableAccessAttributes, true));
        out.begin(context(0, true));
        writeObjectName(out, variable);
        out.end();
        out.end();
    });
}

Bytes getNamedVariableListAttributesRequest(std::uint32_t invokeId, const ObjectName& list) {
    return confirmedRequest(invokeId, [&](BerWriter& out) {
        out.begin(context(kGetNamedVariableListAttributes, true));
        writeObjectName(out, list);
        out.end();
    });
}

// --- Responses ---

MmsPdu decodePdu(ByteView bytes) {
    BerReader top(bytes);
    MmsPdu pdu;
    const BerElement element = top.next();
    if (!top.atEnd()) {
        fail(top.offset(), "bytes follow the MMS message");
    }
    if (element.tag.tagClass != TagClass::Context) {
        fail(element.offset, "an MMS message was expected, not " + describeTag(element.tag));
    }
    switch (element.tag.number) {
    case 1: { // confirmed-ResponsePDU
        BerReader inner = BerReader::inside(element);
        pdu.kind = PduKind::ConfirmedResponse;
        pdu.invokeId = static_cast<std::uint32_t>(decodeUnsigned(inner.expect(kInteger, "the invoke ID")));
        pdu.service = inner.next();
        break;
    }
    case 2: { // confirmed-ErrorPDU
        BerReader inner = BerReader::inside(element);
        pdu.kind = PduKind::ConfirmedError;
        pdu.invokeId = static_cast<std::uint32_t>(decodeUnsigned(inner.expect(context(0), "the invoke ID")));
        BerElement part;
        inner.nextIf(context(1), part); // modifierPosition
        BerReader error = BerReader::inside(inner.expect(context(2, true), "the service error"));
        BerReader errorClass = BerReader::inside(error.expect(context(0, true), "the error class"));
        const BerElement code = errorClass.next();
        requirePrimitive(code, "the error code");
        pdu.error.errorClass = code.tag.number;
        pdu.error.code = decodeInteger(code);
        break;
    }
    case 4: { // rejectPDU
        BerReader inner = BerReader::inside(element);
        pdu.kind = PduKind::Reject;
        pdu.error.rejected = true;
        BerElement part;
        if (inner.nextIf(context(0), part)) {
            pdu.invokeId = static_cast<std::uint32_t>(decodeUnsigned(part));
        }
        const BerElement reason = inner.next();
        requirePrimitive(reason, "the reject reason");
        pdu.error.errorClass = reason.tag.number;
        pdu.error.code = decodeInteger(reason);
        break;
    }
    case 3:
        pdu.kind = PduKind::Unconfirmed;
        break;
    case 9:
        pdu.kind = PduKind::InitiateResponse;
        pdu.service = element;
        break;
    case 10:
        pdu.kind = PduKind::InitiateError;
        break;
    case 12:
        pdu.kind = PduKind::ConcludeResponse;
        break;
    case 13:
        pdu.kind = PduKind::ConcludeError;
        break;
    default:
        pdu.kind = PduKind::Other;
        break;
    }
    return pdu;
}

InitiateResponse decodeInitiateResponse(ByteView bytes) {
    const MmsPdu pdu = decodePdu(bytes);
    if (pdu.kind == PduKind::InitiateError) {
        throw ProtocolError("The server refused the MMS association (initiate error).");
    }
    if (pdu.kind != PduKind::InitiateResponse) {
        throw ProtocolError("The server did not answer the MMS initiate request with an initiate response.");
    }
    InitiateResponse response;
    BerReader inner = BerReader::inside(pdu.service);
    BerElement part;
    if (inner.nextIf(context(0), part)) {
        const std::int64_t size = decodeInteger(part);
        if (size <= 0 || size > 0xFFFFFFFF) {
            fail(part.offset, "the server names a maximum message size of " + std::to_string(size));
        }
        response.maxPduSize = static_cast<std::uint32_t>(size);
    }
    inner.expect(context(1), "the negotiated calling requests outstanding");
    inner.expect(context(2), "the negotiated called requests outstanding");
    if (inner.nextIf(context(3), part)) {
        response.nestingLevel = decodeInteger(part);
    }
    inner.expect(context(4, true), "the initiate response detail");
    return response;
}

NameList decodeGetNameListResponse(const BerElement& service) {
    if (service.tag != context(kGetNameList, true)) {
        fail(service.offset, "a GetNameList response was expected, not " + describeTag(service.tag));
    }
    BerReader inner = BerReader::inside(service);
    NameList list;
    BerReader names = BerReader::inside(inner.expect(context(0, true), "the list of identifiers"));
    while (!names.atEnd()) {
        list.names.push_back(decodeVisibleString(names.expect(kVisibleString, "an identifier")));
    }
    BerElement more;
    list.moreFollows = inner.nextIf(context(1), more) ? decodeBoolean(more) : true;
    return list;
}

std::vector<AccessResult> decodeReadResponse(const BerElement& service) {
    if (service.tag != context(kRead, true)) {
        fail(service.offset, "a Read response was expected, not " + describeTag(service.tag));
    }
    BerReader inner = BerReader::inside(service);
    BerElement part;
    inner.nextIf(context(0, true), part); // the variable access specification, when repeated
    BerReader results = BerReader::inside(inner.expect(context(1, true), "the list of access results"));
    std::vector<AccessResult> out;
    while (!results.atEnd()) {
        const BerElement result = results.next();
        AccessResult access;
        if (result.tag == context(0)) {
            access.error = decodeInteger(result);
        } else {
            access.value = decodeData(result);
        }
        out.push_back(std::move(access));
    }
    return out;
}

VariableAttributes decodeGetVariableAccessAttributesResponse(const BerElement& service) {
    if (service.tag != context(kGetVariableAccessAttributes, true)) {
        fail(service.offset,
             "a GetVariableAccessAttributes response was expected, not " + describeTag(service.tag));
    }
    BerReader inner = BerReader::inside(service);
    VariableAttributes attributes;
    attributes.deletable = decodeBoolean(inner.expect(context(0), "mmsDeletable"));
    BerElement part;
    inner.nextIf(context(1, true), part); // address
    inner.nextIf(context(1), part);
    const BerElement typeSpecification = inner.expect(context(2, true), "the type specification");
    BerReader type = BerReader::inside(typeSpecification);
    const BerElement alternative = type.next();
    if (alternative.tag.tagClass == TagClass::Context && alternative.tag.number >= 1 &&
        alternative.tag.number <= 17) {
        attributes.type = static_cast<DataType>(alternative.tag.number);
    }
    return attributes;
}

NamedVariableList decodeGetNamedVariableListAttributesResponse(const BerElement& service) {
    if (service.tag != context(kGetNamedVariableListAttributes, true)) {
        fail(service.offset,
             "a GetNamedVariableListAttributes response was expected, not " + describeTag(service.tag));
    }
    BerReader inner = BerReader::inside(service);
    NamedVariableList list;
    list.deletable = decodeBoolean(inner.expect(context(0), "mmsDeletable"));
    BerReader members = BerReader::inside(inner.expect(context(1, true), "the list of variables"));
    while (!members.atEnd()) {
        BerReader member = BerReader::inside(members.expect(kSequence, "a list member"));
        const BerElement specification = member.next();
        if (specification.tag != context(0, true)) {
            fail(specification.offset, "a list member is not named (" + describeTag(specification.tag) + ")");
        }
        BerReader name = BerReader::inside(specification);
        ListMember& added = list.members.emplace_back();
        added.name = readObjectName(name.next());
        BerElement access;
        if (member.nextIf(context(5, true), access)) {
            readAlternateAccess(access, added.access);
        }
    }
    return list;
}

DataValue decodeData(const BerElement& element) {
    DataValue value;
    if (element.tag.tagClass != TagClass::Context || element.tag.number < 1 || element.tag.number > 17) {
        fail(element.offset, "MMS data was expected, not " + describeTag(element.tag));
    }
    value.type = static_cast<DataType>(element.tag.number);
    switch (value.type) {
    case DataType::Array:
    case DataType::Structure: {
        BerReader members = BerReader::inside(element);
        std::string text = value.type == DataType::Array ? "[" : "{";
        bool first = true;
        bool cut = false;
        while (!members.atEnd()) {
            const DataValue member = decodeData(members.next());
            if (text.size() < kMaxValueText) {
                if (!first) {
                    text += ',';
                }
                text += member.text;
            } else {
                cut = true;
            }
            first = false;
        }
        if (cut || text.size() > kMaxValueText) {
            cutText(text, kMaxValueText);
            value.text = text;
        } else {
            value.text = text + (value.type == DataType::Array ? "]" : "}");
        }
        break;
    }
    case DataType::Boolean:
        value.text = decodeBoolean(element) ? "true" : "false";
        break;
    case DataType::BitString: {
        const BitString bits = decodeBitString(element);
        for (std::size_t i = 0; i < bits.bitCount && i < kMaxValueText; ++i) {
            value.text += bits.bit(i) ? '1' : '0';
        }
        if (bits.bitCount > kMaxValueText) {
            value.text += kCutMark;
        }
        break;
    }
    case DataType::Integer:
        value.text = std::to_string(decodeInteger(element));
        break;
    case DataType::Unsigned:
        value.text = std::to_string(unsignedData(element));
        break;
    case DataType::FloatingPoint:
        requirePrimitive(element, "a floating-point value");
        value.text = floatText(element);
        break;
    case DataType::VisibleString:
    case DataType::MmsString:
        requirePrimitive(element, "a string");
        appendEscaped(value.text, element.content.data(), element.content.size());
        break;
    case DataType::UtcTime: {
        requirePrimitive(element, "a UTC time");
        const ByteView c = element.content;
        if (c.size() != 8) {
            fail(element.offset, "a UTC time must have 8 octets, not " + std::to_string(c.size()));
        }
        const std::int64_t seconds = std::int64_t{c[0]} << 24 | c[1] << 16 | c[2] << 8 | c[3];
        // Servers keep milliseconds and write the fraction of 2^24 cut down, so only the nearest
        // millisecond gives back the stored value (.999 arrives as 0.998999953).
        const std::int64_t fraction = c[4] << 16 | c[5] << 8 | c[6];
        const std::int64_t milliseconds = (fraction * 1000 + (std::int64_t{1} << 23)) >> 24;
        value.text =
            milliseconds == 1000 ? dateTimeText(seconds + 1, 0) : dateTimeText(seconds, milliseconds);
        break;
    }
    case DataType::BinaryTime: {
        requirePrimitive(element, "a binary time");
        const ByteView c = element.content;
        if (c.size() != 4 && c.size() != 6) {
            fail(element.offset, "a binary time must have 4 or 6 octets, not " + std::to_string(c.size()));
        }
        const std::int64_t milliseconds = std::int64_t{c[0]} << 24 | c[1] << 16 | c[2] << 8 | c[3];
        // Days count from 1984-01-01, which is 5113 days after 1970-01-01.
        const std::int64_t day = c.size() == 6 ? 5113 + (c[4] << 8 | c[5]) : 0;
        value.text = dateTimeText(day * 86400 + milliseconds / 1000 % 86400, milliseconds % 1000);
        break;
    }
    default:
        requirePrimitive(element, "a value");
        value.text = hex(element.content);
        break;
    }
    return value;
}

Bytes confirmedResponsePdu(std::uint32_t invokeId, const std::function<void(BerWriter&)>& service) {
    BerWriter out;
    out.begin(context(1, true));
    out.unsignedInteger(kInteger, invokeId);
    service(out);
    out.end();
    return out.take();
}

Bytes confirmedErrorPdu(std::uint32_t invokeId, std::uint32_t errorClass, std::int64_t code) {
    BerWriter out;
    out.begin(context(2, true));
    out.unsignedInteger(context(0), invokeId);
    out.begin(context(2, true));
    out.begin(context(0, true));
    out.integer(context(errorClass), code);
    out.end();
    out.end();
    out.end();
    return out.take();
}

} // namespace sw::mms
