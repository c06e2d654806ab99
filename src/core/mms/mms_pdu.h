#pragma once

#include "core/mms/ber.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The MMS protocol data units (ISO 9506-2) a client of an IEC 61850 server needs: initiate and conclude,
// and the confirmed services GetNameList, Read, GetVariableAccessAttributes and
// GetNamedVariableListAttributes, as requests to encode and responses to decode. Pure functions on
// bytes: the association carries them, the fuzz target feeds them anything.
namespace sw::mms {

// A named object of the server: domain-specific (IEC 61850-8-1 names logical devices as domains and
// everything below them as items) or, with an empty domain, VMD-specific.
struct ObjectName {
    std::string domain;
    std::string item;

    friend bool operator==(const ObjectName&, const ObjectName&) = default;
    // "LD/LLN0$ST$Mod$stVal"
    std::string text() const { return domain.empty() ? item : domain + "/" + item; }
};

// The alternatives of MMS Data and of a type description, numbered by their context tags.
enum class DataType : std::uint8_t {
    Unknown = 0, // a named type, or a tag outside the known alternatives
    Array = 1,
    Structure = 2,
    Boolean = 3,
    BitString = 4,
    Integer = 5,
    Unsigned = 6,
    FloatingPoint = 7,
    Real = 8,
    OctetString = 9,
    VisibleString = 10,
    GeneralizedTime = 11,
    BinaryTime = 12,
    Bcd = 13,
    BooleanArray = 14,
    ObjectId = 15,
    MmsString = 16,
    UtcTime = 17,
};

// "boolean", "bit-string", "utc-time", ... as MMS names the alternatives.
std::string_view dataTypeName(DataType type);

// A decoded value: its type and a one-line text for people.
struct DataValue {
    DataType type = DataType::Unknown;
    std::string text;
};

// The error a server gives for one confirmed request (the service error's class and code), or the
// reason it rejected the request.
struct ServiceError {
    bool rejected = false;
    std::int64_t errorClass = -1;
    std::int64_t code = -1;

    // Whether the error says the named object does not exist.
    bool objectMissing() const;
    std::string text() const;
};

// The result of one variable of a Read: a value, the data access error's number, the service error
// of a request that held only this variable, or why the answer to a read of this variable alone was
// of no use (no result for it, or a value that could not be decoded).
struct AccessResult {
    std::optional<DataValue> value;
    std::int64_t error = -1;
    std::optional<ServiceError> refused;
    std::string unusable;

    bool objectMissing() const;
    std::string errorText() const;
};

// What the server says of a variable through GetVariableAccessAttributes.
struct VariableAttributes {
    bool deletable = false;
    DataType type = DataType::Unknown;
};

struct NameList {
    std::vector<std::string> names;
    bool moreFollows = false;
};

// One step of the alternate access that narrows a list member to a part of its variable: an element of
// an array or a component of a structure.
struct AccessStep {
    bool isIndex = false;
    std::uint32_t index = 0;
    std::string component;

    friend bool operator==(const AccessStep&, const AccessStep&) = default;
};

// Confirmed services by the context tag of their request and response.
inline constexpr std::uint32_t kGetNameList = 1;
inline constexpr std::uint32_t kRead = 4;
inline constexpr std::uint32_t kWrite = 5;
inline constexpr std::uint32_t kGetVariableAccessAttributes = 6;
inline constexpr std::uint32_t kGetNamedVariableListAttributes = 12;

// The longest alternate access the decoder follows; IEC 61850 data nests far less.
inline constexpr std::size_t kMaxAccessSteps = 10;

// A member of a named variable list: a variable, or the part of it its alternate access selects.
struct ListMember {
    ObjectName name;
    std::vector<AccessStep> access;

    friend bool operator==(const ListMember&, const ListMember&) = default;
    // The access as IEC 61850 writes it after a name: "(9).cVal.mag"; empty for the whole variable.
    std::string accessText() const;
};

struct NamedVariableList {
    bool deletable = false;
    std::vector<ListMember> members;
};

// --- Requests (the whole MMS PDU).
inline constexpr std::uint32_t kProposedMaxPduSize = 65000;
inline constexpr std::uint8_t kProposedNestingLevel = 10;

Bytes initiateRequest(std::uint32_t maxPduSize = kProposedMaxPduSize);
Bytes concludeRequest();

enum class ObjectClass : std::uint8_t { NamedVariable = 0, NamedVariableList = 2, Domain = 9 };
// With an empty domain the scope is the VMD (domains are always listed so).
Bytes getNameListRequest(std::uint32_t invokeId, ObjectClass objectClass, std::string_view domain,
                         std::string_view continueAfter);
Bytes readRequest(std::uint32_t invokeId, const std::vector<ObjectName>& variables);
Bytes getVariableAccessAttributesRequest(std::uint32_t invokeId, const ObjectName& variable);
Bytes getNamedVariableListAttributesRequest(std::uint32_t invokeId, const ObjectName& list);

// The bytes one more variable adds to a Read request, to fill requests up to the negotiated size.
std::size_t readRequestItemSize(const ObjectName& variable);
// The bytes of a Read request apart from its variables (with room for the largest length forms).
inline constexpr std::size_t kReadRequestOverhead = 32;

// --- Responses.
struct InitiateResponse {
    std::uint32_t maxPduSize = 0; // 0: the server named none, ours stands
    std::int64_t nestingLevel = -1;
};

enum class PduKind {
    ConfirmedResponse,
    ConfirmedError,
    Reject,
    Unconfirmed,
    InitiateResponse,
    InitiateError,
    ConcludeResponse,
    ConcludeError,
    Other
};

// One received MMS PDU; `service` is the confirmed response's service element (valid while the bytes
// live) and `error` the error of a confirmed error or reject.
struct MmsPdu {
    PduKind kind = PduKind::Other;
    std::optional<std::uint32_t> invokeId;
    BerElement service;
    ServiceError error;
};

MmsPdu decodePdu(ByteView bytes);
InitiateResponse decodeInitiateResponse(ByteView bytes);

// Each decodes the service element of a confirmed response; throws ProtocolError when it is another
// service or malformed.
NameList decodeGetNameListResponse(const BerElement& service);
std::vector<AccessResult> decodeReadResponse(const BerElement& service);
VariableAttributes decodeGetVariableAccessAttributesResponse(const BerElement& service);
NamedVariableList decodeGetNamedVariableListAttributesResponse(const BerElement& service);

// Object names and alternate access, shared by the client's and the server's encoders and decoders.
void encodeObjectName(BerWriter& out, const ObjectName& name);
ObjectName decodeObjectName(const BerElement& element);
// The steps' alternate access as servers write it: the last step as a plain selection, every step
// before it as a selection followed by the access that goes on from there.
void encodeAlternateAccess(BerWriter& out, std::span<const AccessStep> steps);
// The steps of one alternate access ([5] of a list member or variable); throws ProtocolError for a
// selection of several parts, beyond kMaxAccessSteps or malformed.
std::vector<AccessStep> decodeAlternateAccess(const BerElement& access);

// --- A server's answers: a confirmed response around what `service` writes, and a confirmed error of
// a service error class and code.
Bytes confirmedResponsePdu(std::uint32_t invokeId, const std::function<void(BerWriter&)>& service);
Bytes confirmedErrorPdu(std::uint32_t invokeId, std::uint32_t errorClass, std::int64_t code);

// One MMS Data element as a value; nested values show as "{a,b}" (structure) and "[a,b]" (array), strings
// in quotes, and a value too long for one line ends in an ellipsis (U+2026) where it was cut.
DataValue decodeData(const BerElement& element);

} // namespace sw::mms
