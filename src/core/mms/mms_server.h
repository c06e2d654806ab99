#pragma once

#include "core/mms/mms_pdu.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The server side of the MMS stack: a model of named variables and lists, and the answers to the
// confirmed services an IEC 61850 client asks for (GetNameList, Read, Write, GetVariableAccessAttributes,
// GetNamedVariableListAttributes), initiate and conclude. Pure functions of PDUs and the model: the
// listener (mms_listener.h) carries them over TCP, the fuzz target feeds them anything. Every request is
// checked before it is answered: a malformed one is rejected, an unknown name answered as missing.
namespace sw::mms {

// One variable of the model or a component of one. A leaf holds its value as a whole MMS Data encoding.
struct ServedNode {
    std::string name; // the component's name; empty for an array's elements
    DataType type = DataType::Structure;
    // Bits of a bit string, integer or unsigned; octets of an octet or visible string (negative: at
    // most that many); 32 or 64 for a floating point number; elements of an array.
    std::int32_t size = 0;
    std::vector<ServedNode> components; // a structure's components in order; an array's elements
    Bytes value;                        // a leaf's MMS Data encoding
    bool moving = false;                // a measured value: reads see it move with time

    const ServedNode* component(std::string_view name) const;
    ServedNode* component(std::string_view name);
};

// A logical device: its variables (the logical nodes) by name and its named variable lists.
struct ServedDomain {
    std::string name;
    std::vector<ServedNode> variables;
    std::map<std::string, std::vector<ListMember>> lists;
    std::vector<std::string> names; // every variable and component name, sorted; made by index()
};

struct ServedModel {
    std::vector<ServedDomain> domains;

    // Sorts domains and variables and lists every name; call once the model is complete.
    void index();
    const ServedDomain* domain(std::string_view name) const;
    ServedDomain* domain(std::string_view name);
    // The node an item names ("GGIO1$ST$Ind1$stVal"), or null.
    ServedNode* find(const ObjectName& name);
};

// MMS Data encodings of leaf values, written as servers of this field write them.
Bytes booleanData(bool value);
Bytes integerData(std::int64_t value);
// An 8-bit unsigned goes in one octet (255 as ff); wider ones as BER unsigned integers.
Bytes unsignedData(std::uint64_t value, std::int32_t bits = 32);
Bytes float32Data(float value);
Bytes float64Data(double value);
Bytes bitStringData(std::uint64_t bits, std::size_t count); // bit 0 is the first (leftmost)
Bytes octetStringData(ByteView octets);
Bytes visibleStringData(std::string_view text);
Bytes mmsStringData(std::string_view text);
Bytes utcTimeData(std::uint32_t seconds, std::uint32_t fraction = 0, std::uint8_t quality = 0x0A);
Bytes binaryTimeData(bool withDate);
// The neutral value of a leaf of the node's type and size: false, zero, all bits clear, empty text.
Bytes neutralData(const ServedNode& node);

// The limits the server holds every request to.
struct ServerLimits {
    std::uint32_t maxPduSize = kProposedMaxPduSize; // the largest PDU the server grants
    std::size_t maxVariables = 10'000;              // per Read or Write
    std::size_t maxNameLength = 255;                // domain and item names
};

class MmsServer {
public:
    // One association's state as the initiate left it.
    struct Association {
        std::uint32_t maxPduSize = 0; // 0: not initiated
        bool concluded = false;
        std::uint64_t id = 0; // given by the server at its first request; owns the controls it selects
    };

    explicit MmsServer(ServedModel model, ServerLimits limits = {});

    // The initiate response (or initiate error) to an initiate request.
    Bytes initiate(ByteView request, Association& association) const;
    // The answer to one PDU of the data phase: a confirmed response or error, a reject, or the conclude
    // response; never throws for what the client sent.
    Bytes answer(ByteView pdu, Association& association);

    // Time since the start as the moving values and the selections of controls see it; tests set their
    // own.
    void setClock(std::function<std::chrono::milliseconds()> clock) { m_clock = std::move(clock); }
    // The current encoding of a variable or component (moving values at this time), or empty.
    Bytes value(const ObjectName& name);
    const ServerLimits& limits() const { return m_limits; }

private:
    Bytes confirmed(std::uint32_t invokeId, const BerElement& service, std::uint32_t maxPduSize);
    Bytes getNameList(std::uint32_t invokeId, const BerElement& service, std::uint32_t maxPduSize);
    Bytes read(std::uint32_t invokeId, const BerElement& service);
    Bytes write(std::uint32_t invokeId, const BerElement& service);
    Bytes variableAttributes(std::uint32_t invokeId, const BerElement& service);
    Bytes listAttributes(std::uint32_t invokeId, const BerElement& service);
    void encodeValue(BerWriter& out, const ServedNode& node) const;
    // The result of one list member or variable of a Read: its data or a data access error.
    void readResult(BerWriter& out, const ListMember& member);

    // The control services IEC 61850-8-1 maps onto Read and Write, for a control object's attributes
    // (fc CO) under its control model (fc CF ctlModel): direct and select-before-operate with normal
    // security; enhanced security is refused. A read of SBO selects and answers the control object's
    // name, or an empty string when the object cannot be selected; a write of Oper operates (stVal
    // follows ctlVal), a write of Cancel ends the caller's selection. Writes answer a data access error
    // when refused, nothing when done.
    std::optional<std::int64_t> writeControl(const ListMember& member, const BerElement& data);
    // The answer to a read of a control's SBO; nothing for any other variable.
    std::optional<Bytes> selectControl(const ListMember& member);

    struct Selection {
        std::uint64_t association = 0;
        std::chrono::milliseconds until{0};
    };

    mutable std::mutex m_mutex;
    ServedModel m_model;
    ServerLimits m_limits;
    std::function<std::chrono::milliseconds()> m_clock;
    std::map<std::string, Selection> m_selections; // by control object, "LD/CSWI1$CO$Pos"
    std::uint64_t m_associations = 0;              // ids given so far
    std::uint64_t m_caller = 0;                    // the association of the request being answered
};

} // namespace sw::mms
