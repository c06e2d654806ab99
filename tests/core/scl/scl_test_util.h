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
    for (const auto& sub : attribute.List_DA()) {
        dumpAttribute(*sub, out);
    }
    out += "end\n";
}

inline void dumpObject(const SclDataObject& object, std::string& out) {
    out += "DO " + object.fName() + "\n";
    for (const auto& sub : object.List_DO()) {
        dumpObject(*sub, out);
    }
    for (const auto& attribute : object.List_DA()) {
        dumpAttribute(*attribute, out);
    }
    out += "end\n";
}

inline std::string dump(const SclIed& device) {
    std::string out = "IED " + device.fName() + "\n";
    for (const auto& ld : device.List_LDevice()) {
        out += "LD " + ld->fName() + "\n";
        for (const auto& ln : ld->List_LN()) {
            out +=
                "LN " + ln->fPrefix() + "|" + ln->flnClass() + "|" + ln->fInst() + "|" + ln->flnType() + "\n";
            for (const auto& object : ln->List_DO()) {
                dumpObject(*object, out);
            }
            for (const auto& dataSet : ln->List_DataSet()) {
                out += "DS " + dataSet->fName() + " " + dataSet->fReference() + " " + dataSet->fGooseName() +
                       "\n";
                for (const SclDataAttribute* member : dataSet->List_DA()) {
                    out += "member " + member->fReference() + "\n";
                }
            }
        }
    }
    return out;
}

} // namespace sw::test
