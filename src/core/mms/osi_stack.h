#pragma once

#include "core/mms/ber.h"

#include <cstddef>
#include <cstdint>

// The layers below MMS on TCP, as IEC 61850-8-1 stacks them: TPKT (RFC 1006), the class 0 transport
// (ISO 8073), the kernel session (ISO 8327), the kernel presentation (ISO 8823) with BER as the one
// transfer syntax, and ACSE (ISO 8650) for the association. Pure functions that wrap an MMS PDU into
// the bytes of one layer or take it out again; the client's connection moves the bytes.
namespace sw::mms::osi {

inline constexpr std::size_t kTpktHeaderSize = 4;
// The largest TSDU we reassemble from data TPDUs: the negotiated MMS size plus the layers' envelopes.
inline constexpr std::size_t kMaxTsduSize = 256 * 1024;

// TPKT: version 3, reserved 0, the length of the whole packet.
Bytes tpkt(ByteView tpdu);
// The TPKT length declared by a four-byte header; throws when the header is not a TPKT or the length
// cannot hold a transport header.
std::size_t tpktLength(ByteView header);

// Transport: the connection request we send (class 0, no options), the maximum TPDU size the
// confirmation grants, and data TPDUs.
inline constexpr std::uint8_t kTpduSizeCode = 0x0B; // 2048 octets, the largest class 0 allows
Bytes connectionRequest();
std::size_t parseConnectionConfirm(ByteView tpdu);
inline constexpr std::size_t kDataTpduHeaderSize = 3;
Bytes dataTpduHeader(bool last);
struct DataTpdu {
    bool last = false;
    ByteView data;
};
DataTpdu parseDataTpdu(ByteView tpdu);

// Session, presentation and ACSE around the MMS initiate exchange: the session CONNECT carrying the
// presentation CP with the AARQ, and the MMS initiate response out of the ACCEPT / CPA / AARE.
Bytes connectSpdu(ByteView mmsInitiateRequest);
Bytes acceptedMmsPdu(ByteView spdu);

// Data phase: GIVE TOKENS + DATA TRANSFER with presentation user data in the MMS context.
Bytes dataSpdu(ByteView mmsPdu);
ByteView dataMmsPdu(ByteView spdu);

// Release: the session FINISH with the ACSE release request, and whether a reply is the DISCONNECT.
Bytes finishSpdu();
bool isDisconnectSpdu(ByteView spdu);

// --- The server's side of the same layers.

// A transport connection request: the caller's reference, the TPDU size it asks for (code 7 = 128
// octets when it names none) and its transport selectors, echoed in the confirm.
struct ConnectionRequest {
    std::uint16_t sourceReference = 0;
    std::uint8_t tpduSizeCode = 7;
    Bytes calledSelector;  // empty: not given
    Bytes callingSelector; // empty: not given
};
// The largest TPDU the server grants: 8192 octets, as servers of this field grant to clients asking.
inline constexpr std::uint8_t kServerTpduSizeCode = 0x0D;
// Throws ProtocolError unless `tpdu` is a well-formed class 0 connection request.
ConnectionRequest parseConnectionRequest(ByteView tpdu);
// The confirm granting the smaller of the asked size and ours.
Bytes connectionConfirm(const ConnectionRequest& request);
inline std::size_t grantedTpduSize(const ConnectionRequest& request) {
    return std::size_t{1} << (request.tpduSizeCode < kServerTpduSizeCode ? request.tpduSizeCode
                                                                         : kServerTpduSizeCode);
}

// The session CONNECT with the presentation CP and the AARQ: the MMS initiate request inside, and what
// the accept echoes.
struct ConnectIndication {
    ByteView mmsInitiateRequest;
    Bytes sessionRequirements;        // empty: not given
    Bytes calledSessionSelector;      // empty: not given
    Bytes calledPresentationSelector; // empty: not given
};
// Throws ProtocolError unless the unit is a CONNECT asking for an MMS association over BER in the
// presentation contexts 1 (ACSE) and 3 (MMS).
ConnectIndication parseConnectSpdu(ByteView spdu);
// The session ACCEPT with the presentation CPA and the AARE carrying the MMS initiate response.
Bytes acceptSpdu(const ConnectIndication& connect, ByteView mmsInitiateResponse);
// The MMS PDU of a data unit from the client; throws ProtocolError on another unit (a FINISH is asked
// through isFinishSpdu first).
ByteView requestMmsPdu(ByteView spdu);
bool isFinishSpdu(ByteView spdu);
// The session DISCONNECT with the ACSE release response.
Bytes disconnectSpdu();

// Presentation context identifiers we propose: 1 for ACSE, 3 for MMS.
inline constexpr std::int64_t kAcseContext = 1;
inline constexpr std::int64_t kMmsContext = 3;

} // namespace sw::mms::osi
