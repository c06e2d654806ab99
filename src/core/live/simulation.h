#pragma once

#include "core/mms/mms_listener.h"
#include "core/mms/mms_server.h"

#include <cstdint>
#include <memory>
#include <string>

namespace sw {
class SclIed;
}

// The simulation of a device from its SCL: the MMS model its server would serve, and that model served
// on a local address, so that the access list and the live check can be tried before the site exists.
namespace sw::live {

// Every logical device (a domain), node, data object and attribute of the IED as the loader builds it,
// under the functional constraints IEC 61850-8-1 groups them by; leaves hold the neutral value of their
// basic type, measured values (fc MX) move with time; data sets as named variable lists and a GOOSE
// control block for every data set a GSEControl publishes.
mms::ServedModel simulatedModel(const SclIed& ied);

// One device served on `address` (host byte order) at `port` (0: one the system picks).
class SimulatedDevice {
public:
    SimulatedDevice(const SclIed& ied, std::uint32_t address, std::uint16_t port);

    std::uint16_t port() const { return m_listener.port(); }
    mms::MmsServer& server() { return *m_server; }

private:
    std::shared_ptr<mms::MmsServer> m_server;
    mms::MmsListener m_listener;
};

} // namespace sw::live
