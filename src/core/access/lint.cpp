#include "core/access/lint.h"

#include "core/access/access_list.h"
#include "core/access/access_schema.h"
#include "core/access/data_array_map.h"
#include "core/common/numbers.h"
#include "core/scl/scl_model.h"

#include <array>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace sw::access {

namespace {

using Kind = LintWarning::Kind;

std::string startBitWords(std::int8_t startBit) {
    return startBit >= 0    ? "start bit " + std::to_string(startBit)
           : startBit == -1 ? "no start bit"
                            : "a start bit not 0 to 7";
}

std::string entryName(const MapEntry& entry) {
    return entry.isMember()
               ? "data set " + std::to_string(entry.dataSet) + " member " + std::to_string(entry.row)
               : "variables row " + std::to_string(entry.row);
}

void addConflicts(const DataArrayMap& map, std::vector<LintWarning>& out) {
    for (std::size_t p = 0; p < kDataArraySize; ++p) {
        const std::span<const MapEntry> entries = map.at(p);
        // The first two conflicting entries of each start bit -2 to 7.
        std::array<std::array<const MapEntry*, 2>, 10> firsts{};
        for (const MapEntry& entry : entries) {
            auto& pair = firsts[static_cast<std::size_t>(entry.startBit + 2)];
            if (entry.conflict && pair[1] == nullptr) {
                (pair[0] == nullptr ? pair[0] : pair[1]) = &entry;
            }
        }
        for (const MapEntry& entry : entries) {
            if (!entry.conflict) {
                continue;
            }
            const auto& pair = firsts[static_cast<std::size_t>(entry.startBit + 2)];
            const MapEntry& other = pair[0] == &entry ? *pair[1] : *pair[0];
            out.push_back({Kind::PositionConflict, entry.dataSet, entry.row,
                           "position " + std::to_string(p) + " with " + startBitWords(entry.startBit) +
                               " is also filled from the server by " + entryName(other)});
        }
    }
}

// The device a row names, or null.
const CatalogDevice* deviceOf(std::string_view index, std::span<const CatalogDevice> devices) {
    const std::optional<std::int32_t> value = parseInteger(index);
    if (value && *value >= 0 && static_cast<std::size_t>(*value) < devices.size()) {
        return &devices[static_cast<std::size_t>(*value)];
    }
    return nullptr;
}

std::string joinKey(std::initializer_list<std::string_view> parts) {
    std::string key;
    for (std::string_view part : parts) {
        key += part;
        key += '\x1f'; // a character no cell of a sensible list holds keeps the parts apart
    }
    return key;
}

} // namespace

std::string LintWarning::line() const {
    std::string where = dataSet == 0 ? "Variables row " + std::to_string(row)
                        : row == 0   ? "Data set " + std::to_string(dataSet)
                                   : "Data set " + std::to_string(dataSet) + " member " + std::to_string(row);
    return where + ": " + text;
}

// --- The lint

std::vector<LintWarning> lintAccessList(const AccessFile& access, std::span<const CatalogDevice> devices) {
    std::vector<LintWarning> out;
    addConflicts(buildDataArrayMap(access), out);

    std::vector<LintWarning> stale;
    std::vector<LintWarning> duplicates;
    std::vector<LintWarning> incomplete;
    std::vector<LintWarning> structures;
    std::vector<LintWarning> classOnlyNames;
    std::vector<std::optional<DeviceReferences>> references(devices.size());
    const auto referencesOf = [&](const CatalogDevice* device) -> const DeviceReferences* {
        if (device == nullptr || device->isPlaceholder()) {
            return nullptr;
        }
        auto& slot = references[static_cast<std::size_t>(device - devices.data())];
        if (!slot) {
            slot.emplace(*device->device);
        }
        return &*slot;
    };

    std::unordered_map<std::string, std::size_t> seen;
    for (std::size_t r = 0; r < access.variables.size(); ++r) {
        const VariableRow& row = access.variables[r];
        const CatalogDevice* device = deviceOf(row[VariableColumn::Index], devices);
        // An index outside the catalog is the check's to refuse.
        if (const DeviceReferences* refs = referencesOf(device);
            refs != nullptr && !refs->hasAttribute(row[VariableColumn::Reference])) {
            stale.push_back({Kind::StaleReference, 0, r + 1,
                             "reference \"" + row[VariableColumn::Reference] + "\" is not in device " +
                                 row[VariableColumn::Index] + " (" + device->name + ")"});
        }
        const auto [first, added] =
            seen.try_emplace(joinKey({row[VariableColumn::Index], row[VariableColumn::Reference],
                                      row[VariableColumn::fc], row[VariableColumn::ReadWrite]}),
                             r + 1);
        if (!added) {
            duplicates.push_back({Kind::Duplicate, 0, r + 1,
                                  "same device, reference, fc and direction as variables row " +
                                      std::to_string(first->second)});
        }
    }

    seen.clear();
    for (std::size_t d = 0; d < access.dataSets.size(); ++d) {
        const DataSetRow& dataSet = access.dataSets[d];
        const CatalogDevice* device = deviceOf(dataSet[DataSetColumn::Index], devices);
        const DeviceReferences* refs = referencesOf(device);
        const bool dataSetKnown = refs != nullptr && refs->hasDataSet(dataSet[DataSetColumn::Reference]);
        if (refs != nullptr && !dataSetKnown) {
            stale.push_back({Kind::StaleReference, d + 1, 0,
                             "data set \"" + dataSet[DataSetColumn::Reference] + "\" is not in device " +
                                 dataSet[DataSetColumn::Index] + " (" + device->name + ")"});
        }
        if (dataSetKnown) {
            const SclDataSet& model = *refs->dataSet(dataSet[DataSetColumn::Reference]);
            if (std::string problem = incompleteDataSetText(model); !problem.empty()) {
                incomplete.push_back({Kind::IncompleteDataSet, d + 1, 0, std::move(problem)});
            }
            for (std::size_t k = 0; k < model.members().size(); ++k) {
                const SclDataSetMember& member = model.members()[k];
                if (member.wholeObject && member.attribute != nullptr) {
                    structures.push_back(
                        {Kind::StructureMember, d + 1, 0,
                         "member " + std::to_string(k + 1) +
                             " of the SCL's data set names a whole data object: the server "
                             "sends a structure where the list takes its first attribute \"" +
                             member.fReference() + "\""});
                }
            }
            if (const std::string own = model.fReference(); own != dataSet[DataSetColumn::Reference]) {
                classOnlyNames.push_back(
                    {Kind::ClassOnlyDataSetName, d + 1, 0,
                     "\"" + dataSet[DataSetColumn::Reference] +
                         "\" names the data set by its node's class alone; the server names "
                         "it \"" +
                         own +
                         "\" (the access editor renames it when it opens the "
                         "project)"});
            }
        }
        const auto [first, added] = seen.try_emplace(
            joinKey({dataSet[DataSetColumn::Index], dataSet[DataSetColumn::Reference]}), d + 1);
        if (!added) {
            duplicates.push_back({Kind::Duplicate, d + 1, 0,
                                  "same device and reference as data set " + std::to_string(first->second)});
        }
        for (std::size_t m = 0; m < dataSet.members.size(); ++m) {
            const MemberRow& member = dataSet.members[m];
            if (dataSetKnown &&
                !refs->dataSetHasMember(dataSet[DataSetColumn::Reference], member[MemberColumn::Reference])) {
                stale.push_back({Kind::StaleReference, d + 1, m + 1,
                                 "reference \"" + member[MemberColumn::Reference] +
                                     "\" is not a member of the data set in its device"});
            }
        }
    }
    // Variables rows come before data sets within a kind already; the kinds follow in their order.
    for (auto* group : {&stale, &duplicates, &incomplete, &structures, &classOnlyNames}) {
        out.insert(out.end(), std::make_move_iterator(group->begin()), std::make_move_iterator(group->end()));
    }
    return out;
}

std::vector<ReviewLine> reviewAccessList(const AccessFile& access, std::span<const CatalogDevice> devices,
                                         const std::vector<std::string>& parameterLines,
                                         char decimalSeparator, const LangTable& texts) {
    std::vector<ReviewLine> lines;
    for (const CellFault& fault : checkAccessFile(access, {decimalSeparator, devices.size()})) {
        ReviewLine& line = lines.emplace_back();
        line.dataSet = fault.table == Table::Variables ? 0 : fault.row;
        line.row = fault.table == Table::Variables ? fault.row : fault.member;
        line.error = true;
        line.text = fault.message(texts);
    }
    for (const std::string& text : parameterLines) {
        lines.push_back({0, 0, false, false, text});
    }
    for (const LintWarning& warning : lintAccessList(access, devices)) {
        lines.push_back({warning.dataSet, warning.row, false, true, warning.line()});
    }
    return lines;
}

} // namespace sw::access
