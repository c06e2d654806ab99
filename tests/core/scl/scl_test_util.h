#pragma once

#include "core/scl/scl_model.h"

#include <string>

namespace sw::test {

inline std::string fixture(const std::string& name) {
    return std::string(SW_FIXTURES_DIR) + "/scl/" + name;
}

// Everything the model holds, one line per object, so two loads can be compared whole.
inline void dumpAttribute(const SclDataAttribute& attribute, std::string& out) {
    out += "DA " + attribute.fName() + " " + attribute.fFC() + " " + attribute.fbType() + " " +
           attribute.fReference() + "\n";
    for (const auto& sub : attribute.dataAttributes()) {
        dumpAttribute(*sub, out);
    }
    out += "end\n";
}

inline void dumpObject(const SclDataObject& object, std::string& out) {
    out += "DO " + object.fName() + "\n";
    for (const auto& sub : object.dataObjects()) {
        dumpObject(*sub, out);
    }
    for (const auto& attribute : object.dataAttributes()) {
        dumpAttribute(*attribute, out);
    }
    out += "end\n";
}

inline std::string dump(const SclIed& device) {
    std::string out = "IED " + device.fName() + "\n";
    for (const auto& ld : device.logicalDevices()) {
        out += "LD " + ld->fName() + "\n";
        for (const auto& ln : ld->logicalNodes()) {
            out +=
                "LN " + ln->fPrefix() + "|" + ln->flnClass() + "|" + ln->fInst() + "|" + ln->flnType() + "\n";
            for (const auto& object : ln->dataObjects()) {
                dumpObject(*object, out);
            }
            for (const auto& dataSet : ln->dataSets()) {
                out += "DS " + dataSet->fName() + " " + dataSet->fReference() + " " + dataSet->fGooseName() +
                       "\n";
                for (std::size_t k = 0; k < dataSet->dataAttributes().size(); ++k) {
                    out += "member " + dataSet->memberReference(k) + "\n";
                }
            }
        }
    }
    return out;
}

} // namespace sw::test
