#include "core/mms/osi_stack.h"

#include <algorithm>
#include <array>
#include <string>

namespace sw::mms::osi {

namespace {

// Session SPDU identifiers (ISO 8327).
constexpr std::uint8_t kGiveTokensOrData = 1;
constexpr std::uint8_t kFinish = 9;
constexpr std::uint8_t kDisconnect = 10;
constexpr std::uint8_t kRefuse = 12;
constexpr std::uint8_t kConnect = 13;
constexpr std::uint8_t kAccept = 14;
constexpr std::uint8_t kAbort = 25;
constexpr std::uint8_t kUserData = 193;

// Transport TPDU codes (ISO 8073), in the high nibble of the second octet.
constexpr std::uint8_t kConnectionConfirm = 0xD0;
constexpr std::uint8_t kDisconnectRequest = 0x80;
constexpr std::uint8_t kErrorTpdu = 0x70;
constexpr std::uint8_t kData = 0xF0;

// Object identifiers of the association: ACSE's abstract syntax, BER, and MMS's abstract syntax and
// application context.
constexpr std::array<std::uint32_t, 5> kAcseSyntax = {2, 2, 1, 0, 1};
constexpr std::array<std::uint32_t, 3> kBerSyntax = {2, 1, 1};
constexpr std::array<std::uint32_t, 5> kMmsSyntax = {1, 0, 9506, 2, 1};
constexpr std::array<std::uint32_t, 5> kMmsContextName = {1, 0, 9506, 2, 3};
// Selectors as IEC 61850 devices commonly expect them.
constexpr std::uint8_t kSelector[] = {0x00, 0x01};
constexpr std::uint8_t kPresentationSelector[] = {0x00, 0x00, 0x00, 0x01};

// What the client reads of the server's answers, what the server reads of the client's requests, and
// what both read alike (the units they share say no side).
[[noreturn]] void fail(const std::string& what) {
    throw ProtocolError("Malformed message from the server: " + what + ".");
}

[[noreturn]] void failRequest(const std::string& what) {
    throw ProtocolError("Malformed message from the client: " + what + ".");
}

[[noreturn]] void failEither(const std::string& what) {
    throw ProtocolError("Malformed message received: " + what + ".");
}

constexpr std::uint8_t kConnectionRequestCode = 0xE0;
constexpr std::uint8_t kSessionRequirements = 20;
constexpr std::uint8_t kCalledSessionSelector = 52;

// Session lengths: one octet below 255, else 255 and two octets.
void appendSessionLength(Bytes& out, std::size_t length) {
    if (length < 255) {
        out.push_back(static_cast<std::uint8_t>(length));
    } else {
        out.push_back(0xFF);
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        out.push_back(static_cast<std::uint8_t>(length & 0xFF));
    }
}

void appendParameter(Bytes& out, std::uint8_t code, ByteView value) {
    out.push_back(code);
    appendSessionLength(out, value.size());
    out.insert(out.end(), value.begin(), value.end());
}

Bytes spdu(std::uint8_t identifier, const Bytes& parameters) {
    Bytes out{identifier};
    appendSessionLength(out, parameters.size());
    out.insert(out.end(), parameters.begin(), parameters.end());
    return out;
}

struct SessionUnit {
    std::uint8_t identifier = 0;
    ByteView parameters;
    ByteView rest; // what follows the unit
};

SessionUnit readSessionUnit(ByteView bytes) {
    if (bytes.size() < 2) {
        failEither("a session unit is cut off");
    }
    SessionUnit unit;
    unit.identifier = bytes[0];
    std::size_t length = bytes[1];
    std::size_t start = 2;
    if (length == 0xFF) {
        if (bytes.size() < 4) {
            failEither("a session unit's length is cut off");
        }
        length = static_cast<std::size_t>(bytes[2] << 8 | bytes[3]);
        start = 4;
    }
    if (length > bytes.size() - start) {
        failEither("a session unit's length runs past the message");
    }
    unit.parameters = bytes.subspan(start, length);
    unit.rest = bytes.subspan(start + length);
    return unit;
}

// The user data parameter of a session unit's parameters.
ByteView sessionUserData(ByteView parameters) {
    while (!parameters.empty()) {
        const SessionUnit parameter = readSessionUnit(parameters);
        if (parameter.identifier == kUserData) {
            return parameter.parameters;
        }
        parameters = parameter.rest;
    }
    failEither("the session unit carries no user data");
}

void sessionEnded(std::uint8_t identifier) {
    switch (identifier) {
    case kRefuse:
        throw ProtocolError("The server refused the session connection.");
    case kAbort:
        throw ProtocolError("The server aborted the connection.");
    case kFinish:
    case kDisconnect:
        throw ProtocolError("The server ended the session.");
    default:
        failEither("unexpected session unit " + std::to_string(identifier));
    }
}

// Presentation user data: fully encoded data holding one PDV list in context `contextId`.
void writeUserData(BerWriter& out, std::int64_t contextId, ByteView pdu) {
    out.begin(application(1));
    out.begin(kSequence);
    out.integer(kInteger, contextId);
    out.begin(context(0, true));
    out.raw(pdu);
    out.end();
    out.end();
    out.end();
}

ByteView readUserData(const BerElement& userData) {
    if (userData.tag != application(1)) {
        failEither("presentation user data was expected as fully encoded data, not " +
                   describeTag(userData.tag));
    }
    BerReader list = BerReader::inside(userData);
    BerReader pdv = BerReader::inside(list.expect(kSequence, "the presentation data value list"));
    BerElement element;
    pdv.nextIf(kObjectIdentifier, element); // transfer syntax, when named
    pdv.expect(kInteger, "the presentation context identifier");
    const BerElement value = pdv.next();
    if (value.tag == context(0, true) || value.tag == context(1)) {
        return value.content;
    }
    failEither("presentation data of form " + describeTag(value.tag) + " is not BER-encoded data");
}

ByteView externalValue(const BerElement& external) {
    BerReader parts = BerReader::inside(external);
    BerElement element;
    parts.nextIf(kObjectIdentifier, element);
    parts.nextIf(kInteger, element);
    parts.nextIf(universal(7), element); // data value descriptor
    const BerElement value = parts.next();
    if (value.tag == context(0, true) || value.tag == context(1)) {
        return value.content;
    }
    failEither("the association's user information is of form " + describeTag(value.tag));
}

// The user information of an association request or response: the MMS initiate PDU as an EXTERNAL of
// the MMS presentation context.
void writeMmsUserInformation(BerWriter& acse, ByteView mmsInitiate) {
    acse.begin(context(30, true));
    acse.begin(kExternal);
    acse.integer(kInteger, kMmsContext);
    acse.begin(context(0, true));
    acse.raw(mmsInitiate);
    acse.end();
    acse.end();
    acse.end();
}

} // namespace

Bytes tpkt(ByteView tpdu) {
    const std::size_t length = tpdu.size() + kTpktHeaderSize;
    // Sized once and filled in place: growing a vector made from a short initializer list trips g++'s
    // array-bounds analysis in optimised builds.
    Bytes out(length);
    out[0] = 3;
    out[1] = 0;
    out[2] = static_cast<std::uint8_t>(length >> 8);
    out[3] = static_cast<std::uint8_t>(length & 0xFF);
    std::copy(tpdu.begin(), tpdu.end(), out.begin() + kTpktHeaderSize);
    return out;
}

std::size_t tpktLength(ByteView header) {
    if (header.size() < kTpktHeaderSize || header[0] != 3 || header[1] != 0) {
        failEither("the stream does not carry TPKT packets");
    }
    const std::size_t length = static_cast<std::size_t>(header[2] << 8 | header[3]);
    if (length < kTpktHeaderSize + kDataTpduHeaderSize) {
        failEither("a TPKT packet of " + std::to_string(length) + " bytes is too short");
    }
    return length;
}

Bytes connectionRequest() {
    // LI, CR with credit 0, destination reference 0, source reference 1, class 0; then the TPDU size
    // and the calling and called transport selectors.
    const std::uint8_t head[] = {0,    0xE0, 0x00, 0x00,          0x00, 0x01,
                                 0x00, 0xC0, 0x01, kTpduSizeCode, 0xC1, 0x02};
    const std::uint8_t called[] = {0xC2, 0x02};
    Bytes out;
    out.reserve(std::size(head) + 2 * std::size(kSelector) + std::size(called));
    for (ByteView part : {ByteView(head), ByteView(kSelector), ByteView(called), ByteView(kSelector)}) {
        out.insert(out.end(), part.begin(), part.end());
    }
    out[0] = static_cast<std::uint8_t>(out.size() - 1);
    return out;
}

std::size_t parseConnectionConfirm(ByteView tpdu) {
    if (tpdu.size() < 2 || static_cast<std::size_t>(tpdu[0]) + 1 > tpdu.size()) {
        fail("the transport connection confirm is cut off");
    }
    const std::uint8_t code = tpdu[1] & 0xF0;
    if (code == kDisconnectRequest) {
        throw ProtocolError("The server refused the transport connection.");
    }
    if (code != kConnectionConfirm || tpdu[0] < 6) {
        fail("the transport connection was not confirmed (TPDU code " + std::to_string(code) + ")");
    }
    if ((tpdu[6] & 0xF0) != 0) {
        fail("the server chose transport class " + std::to_string(tpdu[6] >> 4) + ", not class 0");
    }
    std::size_t size = 128; // without the parameter, the smallest size stands
    const std::size_t end = static_cast<std::size_t>(tpdu[0]) + 1;
    for (std::size_t i = 7; i < end;) {
        if (i + 2 > end || i + 2 + std::size_t{tpdu[i + 1]} > end) {
            fail("a transport parameter is cut off");
        }
        if (tpdu[i] == 0xC0 && tpdu[i + 1] == 1) {
            const std::uint8_t sizeCode = tpdu[i + 2];
            if (sizeCode < 7 || sizeCode > kTpduSizeCode) {
                fail("the server grants a TPDU size code of " + std::to_string(sizeCode));
            }
            size = std::size_t{1} << sizeCode;
        }
        i += 2 + std::size_t{tpdu[i + 1]};
    }
    return size;
}

Bytes dataTpduHeader(bool last) {
    return {2, kData, static_cast<std::uint8_t>(last ? 0x80 : 0x00)};
}

DataTpdu parseDataTpdu(ByteView tpdu) {
    if (tpdu.size() < 2) {
        failEither("a transport unit is cut off");
    }
    const std::uint8_t code = tpdu[1] & 0xF0;
    if (code == kDisconnectRequest) {
        throw ProtocolError("The server closed the transport connection.");
    }
    if (code == kErrorTpdu) {
        throw ProtocolError("The server reported a transport protocol error.");
    }
    if (code != kData || tpdu[0] < 2 || static_cast<std::size_t>(tpdu[0]) + 1 > tpdu.size()) {
        failEither("a data transport unit was expected (TPDU code " + std::to_string(code) + ")");
    }
    DataTpdu data;
    data.last = (tpdu[2] & 0x80) != 0;
    data.data = tpdu.subspan(static_cast<std::size_t>(tpdu[0]) + 1);
    return data;
}

Bytes connectSpdu(ByteView mmsInitiateRequest) {
    // ACSE association request: the MMS application context and the initiate request as user
    // information, in the MMS presentation context.
    BerWriter acse;
    acse.begin(application(0));
    acse.begin(context(1, true));
    acse.objectIdentifier(kObjectIdentifier, kMmsContextName);
    acse.end();
    writeMmsUserInformation(acse, mmsInitiateRequest);
    acse.end();

    // Presentation connect: normal mode, selectors, the two contexts (ACSE and MMS, both in BER), and
    // the AARQ in the ACSE context.
    static constexpr std::uint8_t kVersion1[] = {0x80};
    BerWriter presentation;
    presentation.begin(kSet);
    presentation.begin(context(0, true));
    presentation.integer(context(0), 1);
    presentation.end();
    presentation.begin(context(2, true));
    presentation.bitString(context(0), kVersion1, 1);
    presentation.primitive(context(1), kPresentationSelector);
    presentation.primitive(context(2), kPresentationSelector);
    presentation.begin(context(4, true));
    for (const auto& [id, syntax] : {std::pair{kAcseContext, std::span<const std::uint32_t>(kAcseSyntax)},
                                     std::pair{kMmsContext, std::span<const std::uint32_t>(kMmsSyntax)}}) {
        presentation.begin(kSequence);
        presentation.integer(kInteger, id);
        presentation.objectIdentifier(kObjectIdentifier, syntax);
        presentation.begin(kSequence);
        presentation.objectIdentifier(kObjectIdentifier, kBerSyntax);
        presentation.end();
        presentation.end();
    }
    presentation.end();
    writeUserData(presentation, kAcseContext, acse.bytes());
    presentation.end();
    presentation.end();

    // Session connect: protocol options 0 and version 2, the duplex functional unit, the selectors.
    Bytes parameters;
    static constexpr std::uint8_t kAcceptItem[] = {19, 1, 0x00, 22, 1, 0x02};
    static constexpr std::uint8_t kRequirements[] = {0x00, 0x02};
    appendParameter(parameters, 5, kAcceptItem);
    appendParameter(parameters, 20, kRequirements);
    appendParameter(parameters, 51, kSelector);
    appendParameter(parameters, 52, kSelector);
    appendParameter(parameters, kUserData, presentation.bytes());
    return spdu(kConnect, parameters);
}

Bytes acceptedMmsPdu(ByteView bytes) {
    const SessionUnit unit = readSessionUnit(bytes);
    if (unit.identifier != kAccept) {
        sessionEnded(unit.identifier);
    }
    BerReader presentation(sessionUserData(unit.parameters));
    const BerElement ppdu = presentation.next();
    if (ppdu.tag == kSequence) {
        throw ProtocolError("The server refused the presentation connection.");
    }
    if (ppdu.tag != kSet) {
        fail("the presentation accept is " + describeTag(ppdu.tag));
    }
    BerReader set = BerReader::inside(ppdu);
    BerElement normal;
    while (!set.atEnd() && !set.nextIf(context(2, true), normal)) {
        set.next();
    }
    if (normal.tag != context(2, true)) {
        fail("the presentation accept has no normal-mode parameters");
    }
    BerReader parameters = BerReader::inside(normal);
    ByteView aareBytes;
    while (!parameters.atEnd()) {
        const BerElement parameter = parameters.next();
        if (parameter.tag == context(5, true)) {
            BerReader results = BerReader::inside(parameter);
            while (!results.atEnd()) {
                BerReader item = BerReader::inside(results.expect(kSequence, "a context result"));
                const std::int64_t result = decodeInteger(item.expect(context(0), "the context result"));
                if (result != 0) {
                    throw ProtocolError(
                        "The server refused a presentation context of the association (result " +
                        std::to_string(result) + ").");
                }
            }
        } else if (parameter.tag == application(1)) {
            aareBytes = readUserData(parameter);
        }
    }
    if (aareBytes.empty()) {
        fail("the presentation accept carries no association response");
    }
    BerReader acse(aareBytes);
    const BerElement aare = acse.expect(application(1), "the association response");
    BerReader fields = BerReader::inside(aare);
    std::int64_t result = -1;
    ByteView mms;
    while (!fields.atEnd()) {
        const BerElement field = fields.next();
        if (field.tag == context(2, true)) {
            BerReader inner = BerReader::inside(field);
            result = decodeInteger(inner.expect(kInteger, "the association result"));
        } else if (field.tag == context(30, true)) {
            BerReader information = BerReader::inside(field);
            mms = externalValue(information.expect(kExternal, "the association's user information"));
        }
    }
    if (result != 0) {
        throw ProtocolError("The server refused the association (result " + std::to_string(result) + ").");
    }
    if (mms.empty()) {
        fail("the association response carries no MMS initiate response");
    }
    return Bytes(mms.begin(), mms.end());
}

Bytes dataSpdu(ByteView mmsPdu) {
    BerWriter presentation;
    writeUserData(presentation, kMmsContext, mmsPdu);
    Bytes out{kGiveTokensOrData, 0, kGiveTokensOrData, 0};
    out.insert(out.end(), presentation.bytes().begin(), presentation.bytes().end());
    return out;
}

ByteView dataMmsPdu(ByteView bytes) {
    SessionUnit unit = readSessionUnit(bytes);
    if (unit.identifier != kGiveTokensOrData) {
        sessionEnded(unit.identifier);
    }
    // GIVE TOKENS comes first and DATA TRANSFER after it; both carry the same identifier.
    if (!unit.rest.empty() && unit.rest[0] == kGiveTokensOrData) {
        unit = readSessionUnit(unit.rest);
    }
    BerReader presentation(unit.rest);
    const ByteView pdu = readUserData(presentation.next());
    if (!presentation.atEnd()) {
        failEither("bytes follow the presentation data");
    }
    return pdu;
}

Bytes finishSpdu() {
    BerWriter presentation;
    static constexpr std::uint8_t kReleaseRequest[] = {0x62, 0x03, 0x80, 0x01, 0x00}; // RLRQ, normal
    writeUserData(presentation, kAcseContext, kReleaseRequest);
    Bytes parameters;
    appendParameter(parameters, kUserData, presentation.bytes());
    return spdu(kFinish, parameters);
}

bool isDisconnectSpdu(ByteView spdu) {
    return !spdu.empty() && spdu[0] == kDisconnect;
}

ConnectionRequest parseConnectionRequest(ByteView tpdu) {
    if (tpdu.size() < 7 || static_cast<std::size_t>(tpdu[0]) + 1 > tpdu.size() || tpdu[0] < 6) {
        failRequest("the transport connection request is cut off");
    }
    if ((tpdu[1] & 0xF0) != kConnectionRequestCode) {
        failRequest("a transport connection request was expected");
    }
    if ((tpdu[6] & 0xF0) != 0) {
        failRequest("transport class " + std::to_string(tpdu[6] >> 4) + " was asked for, not class 0");
    }
    ConnectionRequest request;
    request.sourceReference = static_cast<std::uint16_t>(tpdu[4] << 8 | tpdu[5]);
    const std::size_t end = static_cast<std::size_t>(tpdu[0]) + 1;
    for (std::size_t i = 7; i < end;) {
        if (i + 2 > end || i + 2 + std::size_t{tpdu[i + 1]} > end) {
            failRequest("a transport parameter is cut off");
        }
        const ByteView value = tpdu.subspan(i + 2, tpdu[i + 1]);
        if (tpdu[i] == 0xC0) {
            if (value.size() != 1 || value[0] < 7 || value[0] > 13) {
                failRequest("the TPDU size asked for is not one of class 0");
            }
            request.tpduSizeCode = value[0];
        } else if (tpdu[i] == 0xC1) {
            request.callingSelector.assign(value.begin(), value.end());
        } else if (tpdu[i] == 0xC2) {
            request.calledSelector.assign(value.begin(), value.end());
        }
        i += 2 + value.size();
    }
    return request;
}

Bytes connectionConfirm(const ConnectionRequest& request) {
    const std::uint8_t sizeCode = std::min(request.tpduSizeCode, kServerTpduSizeCode);
    Bytes out{0,
              kConnectionConfirm,
              static_cast<std::uint8_t>(request.sourceReference >> 8),
              static_cast<std::uint8_t>(request.sourceReference & 0xFF),
              0x00,
              0x01,
              0x00,
              0xC0,
              1,
              sizeCode};
    for (const auto& [code, selector] : {std::pair{std::uint8_t{0xC2}, &request.calledSelector},
                                         std::pair{std::uint8_t{0xC1}, &request.callingSelector}}) {
        if (!selector->empty()) {
            out.push_back(code);
            out.push_back(static_cast<std::uint8_t>(selector->size()));
            out.insert(out.end(), selector->begin(), selector->end());
        }
    }
    out[0] = static_cast<std::uint8_t>(out.size() - 1);
    return out;
}

ConnectIndication parseConnectSpdu(ByteView bytes) {
    const SessionUnit unit = [&] {
        try {
            return readSessionUnit(bytes);
        } catch (const ProtocolError&) {
            failRequest("the session connect is cut off");
        }
    }();
    if (unit.identifier != kConnect) {
        failRequest("a session connect was expected, not unit " + std::to_string(unit.identifier));
    }
    ConnectIndication connect;
    ByteView userData;
    for (ByteView parameters = unit.parameters; !parameters.empty();) {
        const SessionUnit parameter = readSessionUnit(parameters);
        if (parameter.identifier == kUserData) {
            userData = parameter.parameters;
        } else if (parameter.identifier == kSessionRequirements) {
            connect.sessionRequirements.assign(parameter.parameters.begin(), parameter.parameters.end());
        } else if (parameter.identifier == kCalledSessionSelector) {
            connect.calledSessionSelector.assign(parameter.parameters.begin(), parameter.parameters.end());
        }
        parameters = parameter.rest;
    }
    if (userData.empty()) {
        failRequest("the session connect carries no presentation connect");
    }
    BerReader presentation(userData);
    BerReader set = BerReader::inside(presentation.expect(kSet, "the presentation connect"));
    BerElement normal;
    while (!set.atEnd() && !set.nextIf(context(2, true), normal)) {
        set.next();
    }
    if (normal.tag != context(2, true)) {
        failRequest("the presentation connect has no normal-mode parameters");
    }
    bool acse = false;
    bool mms = false;
    ByteView aarqBytes;
    BerReader parameters = BerReader::inside(normal);
    while (!parameters.atEnd()) {
        const BerElement parameter = parameters.next();
        if (parameter.tag == context(2)) {
            connect.calledPresentationSelector.assign(parameter.content.begin(), parameter.content.end());
        } else if (parameter.tag == context(4, true)) {
            BerReader list = BerReader::inside(parameter);
            while (!list.atEnd()) {
                BerReader item = BerReader::inside(list.expect(kSequence, "a presentation context"));
                const std::int64_t id = decodeInteger(item.expect(kInteger, "a context identifier"));
                const auto syntax =
                    decodeObjectIdentifier(item.expect(kObjectIdentifier, "an abstract syntax"));
                acse = acse || (id == kAcseContext && std::equal(syntax.begin(), syntax.end(),
                                                                 kAcseSyntax.begin(), kAcseSyntax.end()));
                mms = mms || (id == kMmsContext &&
                              std::equal(syntax.begin(), syntax.end(), kMmsSyntax.begin(), kMmsSyntax.end()));
            }
        } else if (parameter.tag == application(1)) {
            aarqBytes = readUserData(parameter);
        }
    }
    if (!acse || !mms) {
        failRequest("the presentation connect does not propose ACSE in context 1 and MMS in context 3");
    }
    BerReader acseReader(aarqBytes);
    BerReader fields = BerReader::inside(acseReader.expect(application(0), "the association request"));
    while (!fields.atEnd()) {
        const BerElement field = fields.next();
        if (field.tag == context(30, true)) {
            BerReader information = BerReader::inside(field);
            connect.mmsInitiateRequest = externalValue(information.expect(kExternal, "the user information"));
        }
    }
    if (connect.mmsInitiateRequest.empty()) {
        failRequest("the association request carries no MMS initiate request");
    }
    return connect;
}

Bytes acceptSpdu(const ConnectIndication& connect, ByteView mmsInitiateResponse) {
    // AARE: the MMS application context, accepted by the service user, the initiate response.
    BerWriter acse;
    acse.begin(application(1));
    acse.begin(context(1, true));
    acse.objectIdentifier(kObjectIdentifier, kMmsContextName);
    acse.end();
    acse.begin(context(2, true));
    acse.integer(kInteger, 0);
    acse.end();
    acse.begin(context(3, true));
    acse.begin(context(1, true));
    acse.integer(kInteger, 0);
    acse.end();
    acse.end();
    writeMmsUserInformation(acse, mmsInitiateResponse);
    acse.end();

    // CPA: normal mode, the responding selector, both contexts accepted in BER, the AARE.
    BerWriter presentation;
    presentation.begin(kSet);
    presentation.begin(context(0, true));
    presentation.integer(context(0), 1);
    presentation.end();
    presentation.begin(context(2, true));
    if (!connect.calledPresentationSelector.empty()) {
        presentation.primitive(context(3), connect.calledPresentationSelector);
    }
    presentation.begin(context(5, true));
    for (int i = 0; i < 2; ++i) {
        presentation.begin(kSequence);
        presentation.integer(context(0), 0);
        presentation.objectIdentifier(context(1), kBerSyntax);
        presentation.end();
    }
    presentation.end();
    writeUserData(presentation, kAcseContext, acse.bytes());
    presentation.end();
    presentation.end();

    Bytes parameters;
    static constexpr std::uint8_t kAcceptItem[] = {19, 1, 0x00, 22, 1, 0x02};
    appendParameter(parameters, 5, kAcceptItem);
    if (!connect.sessionRequirements.empty()) {
        appendParameter(parameters, kSessionRequirements, connect.sessionRequirements);
    }
    if (!connect.calledSessionSelector.empty()) {
        appendParameter(parameters, kCalledSessionSelector, connect.calledSessionSelector);
    }
    appendParameter(parameters, kUserData, presentation.bytes());
    return spdu(kAccept, parameters);
}

ByteView requestMmsPdu(ByteView bytes) {
    SessionUnit unit = readSessionUnit(bytes);
    if (unit.identifier != kGiveTokensOrData) {
        failRequest("a data unit was expected, not session unit " + std::to_string(unit.identifier));
    }
    if (!unit.rest.empty() && unit.rest[0] == kGiveTokensOrData) {
        unit = readSessionUnit(unit.rest);
    }
    BerReader presentation(unit.rest);
    const BerElement userData = presentation.next();
    if (userData.tag != application(1)) {
        failRequest("presentation user data was expected as fully encoded data");
    }
    BerReader list = BerReader::inside(userData);
    BerReader pdv = BerReader::inside(list.expect(kSequence, "the presentation data value list"));
    if (decodeInteger(pdv.expect(kInteger, "the presentation context identifier")) != kMmsContext) {
        failRequest("data outside the MMS presentation context");
    }
    const BerElement value = pdv.expect(context(0, true), "the MMS PDU");
    if (!presentation.atEnd()) {
        failRequest("bytes follow the presentation data");
    }
    return value.content;
}

bool isFinishSpdu(ByteView spdu) {
    return !spdu.empty() && spdu[0] == kFinish;
}

Bytes disconnectSpdu() {
    BerWriter presentation;
    static constexpr std::uint8_t kReleaseResponse[] = {0x63, 0x00}; // RLRE without a reason
    writeUserData(presentation, kAcseContext, kReleaseResponse);
    Bytes parameters;
    appendParameter(parameters, kUserData, presentation.bytes());
    return spdu(kDisconnect, parameters);
}

} // namespace sw::mms::osi
