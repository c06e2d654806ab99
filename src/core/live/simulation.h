#pragma once

#include "core/access/access_file.h"
#include "core/mms/mms_listener.h"
#include "core/mms/mms_server.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

struct LiveRow;

// The loopback address the simulation serves on unless the user names another.
inline constexpr std::uint32_t kLoopbackAddress = 0x7F000001;

// Every device of a project's catalog, each served on `address` at a port of its own.
class SimulatedCatalog {
public:
    struct Device {
        std::unique_ptr<SclIed> ied;
        std::unique_ptr<SimulatedDevice> served;
    };

    // Loads every catalog item's IED from `catalogFolder` and serves it at a port the system picks. An
    // item whose file cannot be read or holds no such IED is not served: skipped() says why.
    SimulatedCatalog(const std::filesystem::path& catalogFolder,
                     const std::vector<access::CatalogRow>& catalog,
                     std::uint32_t address = kLoopbackAddress);
    ~SimulatedCatalog();

    const std::vector<Device>& devices() const { return m_devices; }
    const std::vector<std::string>& skipped() const { return m_skipped; }

    // The port of the device a row of the access list is checked against: the device whose SCL gives
    // the row's address, else (for an address no device stands for, as with an SCL without one) the
    // device serving the logical device of the row's reference; nothing when neither exists.
    std::optional<std::uint16_t> portFor(const LiveRow& row) const;

private:
    std::vector<Device> m_devices;
    std::vector<std::string> m_skipped;
};

} // namespace sw::live
