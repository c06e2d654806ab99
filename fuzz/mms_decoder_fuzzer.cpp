#include "core/mms/mms_pdu.h"
#include "core/mms/osi_stack.h"

#include <cstddef>
#include <cstdint>

namespace mms = sw::mms;

namespace {

// Every reader of the client's incoming bytes; each must either take the bytes or refuse them with a
// ProtocolError (a ConfigError), never crash, hang or read outside them.
template <class Read> void attempt(Read read) {
    try {
        read();
    } catch (const sw::ConfigError&) {
    }
}

void walk(mms::BerReader reader) {
    while (!reader.atEnd()) {
        const mms::BerElement element = reader.next();
        if (element.tag.constructed) {
            walk(mms::BerReader::inside(element));
        } else if (element.tag.tagClass == mms::TagClass::Context) {
            attempt([&] { mms::decodeData(element); });
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const mms::ByteView bytes(data, size);
    attempt([&] { walk(mms::BerReader(bytes)); });
    attempt([&] {
        const mms::MmsPdu pdu = mms::decodePdu(bytes);
        if (pdu.kind == mms::PduKind::ConfirmedResponse) {
            attempt([&] { mms::decodeReadResponse(pdu.service); });
            attempt([&] { mms::decodeGetNameListResponse(pdu.service); });
            attempt([&] { mms::decodeGetVariableAccessAttributesResponse(pdu.service); });
            attempt([&] { mms::decodeGetNamedVariableListAttributesResponse(pdu.service); });
        }
    });
    attempt([&] { mms::decodeInitiateResponse(bytes); });
    attempt([&] { mms::osi::acceptedMmsPdu(bytes); });
    attempt([&] {
        const mms::ByteView pdu = mms::osi::dataMmsPdu(bytes);
        if (pdu.data() < data || pdu.data() + pdu.size() > data + size) {
            __builtin_trap();
        }
        mms::decodePdu(pdu);
    });
    attempt([&] { mms::osi::parseConnectionConfirm(bytes); });
    attempt([&] { mms::osi::parseDataTpdu(bytes); });
    attempt([&] { mms::osi::tpktLength(bytes); });
    return 0;
}
