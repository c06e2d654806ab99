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

// Presentation context identifiers we propose: 1 for ACSE, 3 for MMS.
inline constexpr std::int64_t kAcseContext = 1;
inline constexpr std::int64_t kMmsContext = 3;

} // namespace sw::mms::osi
