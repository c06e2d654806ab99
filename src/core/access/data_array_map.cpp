#include "core/access/data_array_map.h"

#include <algorithm>
#include <optional>

namespace sw::access {

namespace {

std::optional<std::size_t> arrayPosition(std::string_view text) {
    const std::optional<std::uint16_t> value = positionValue(text);
    return value ? std::optional<std::size_t>(*value) : std::nullopt;
}

EntryDirection directionOf(std::string_view text) {
    const std::optional<Direction> direction = directionValue(text);
    if (!direction) {
        return EntryDirection::None;
    }
    return *direction == Direction::Read ? EntryDirection::Read : EntryDirection::Write;
}

// Calls `visit(position, entry)` for every row and member on the array, in map order.
template <class Visit> void forEachEntry(const AccessFile& access, Visit&& visit) {
    for (std::size_t r = 0; r < access.variables.size(); ++r) {
        const VariableRow& row = access.variables[r];
        if (const auto position = arrayPosition(row[VariableColumn::Position])) {
            visit(*position, MapEntry{0, r + 1, directionOf(row[VariableColumn::ReadWrite]),
                                      mapStartBit(row[VariableColumn::StartBit]), false});
        }
    }
    for (std::size_t d = 0; d < access.dataSets.size(); ++d) {
        const auto& members = access.dataSets[d].members;
        for (std::size_t m = 0; m < members.size(); ++m) {
            if (const auto position = arrayPosition(members[m][MemberColumn::Position])) {
                visit(*position, MapEntry{d + 1, m + 1, EntryDirection::None,
                                          mapStartBit(members[m][MemberColumn::StartBit]), false});
            }
        }
    }
}

} // namespace

std::int8_t mapStartBit(std::string_view text) {
    return startBitValue(text).value_or(std::int8_t{-2});
}

DataArrayMap buildDataArrayMap(const AccessFile& access) {
    DataArrayMap map;
    // Counting first places every entry straight into its group: one pass more over the rows, no sort.
    std::array<std::uint32_t, kDataArraySize> count{};
    forEachEntry(access, [&count](std::size_t position, const MapEntry&) { ++count[position]; });
    std::uint32_t total = 0;
    for (std::size_t p = 0; p < kDataArraySize; ++p) {
        map.m_begin[p] = total;
        total += count[p];
    }
    map.m_begin[kDataArraySize] = total;
    map.m_entries.resize(total);
    std::array<std::uint32_t, kDataArraySize> next{};
    std::copy(map.m_begin.begin(), map.m_begin.end() - 1, next.begin());
    forEachEntry(access, [&map, &next](std::size_t position, const MapEntry& entry) {
        map.m_entries[next[position]++] = entry;
    });

    for (std::size_t p = 0; p < kDataArraySize; ++p) {
        // Start bits -2 to 7: how many entries filling the array use each at this position.
        std::array<std::uint32_t, 10> fills{};
        const auto begin = map.m_entries.begin() + map.m_begin[p];
        const auto end = map.m_entries.begin() + map.m_begin[p + 1];
        for (auto it = begin; it != end; ++it) {
            if (it->fillsArray()) {
                ++fills[static_cast<std::size_t>(it->startBit + 2)];
            }
        }
        bool any = false;
        for (auto it = begin; it != end; ++it) {
            it->conflict = it->fillsArray() && fills[static_cast<std::size_t>(it->startBit + 2)] > 1;
            any = any || it->conflict;
        }
        map.m_conflicts += any ? 1 : 0;
    }
    return map;
}

std::span<const MapEntry> DataArrayMap::at(std::size_t position) const {
    if (position >= kDataArraySize) {
        return {};
    }
    return {m_entries.data() + m_begin[position], m_begin[position + 1] - m_begin[position]};
}

CellUse DataArrayMap::use(std::size_t position) const {
    const std::span<const MapEntry> entries = at(position);
    if (entries.empty()) {
        return CellUse::Free;
    }
    bool read = false;
    bool write = false;
    bool member = false;
    for (const MapEntry& entry : entries) {
        if (entry.conflict) {
            return CellUse::Conflict;
        }
        member = member || entry.isMember();
        read = read || (!entry.isMember() && entry.direction == EntryDirection::Read);
        write = write || (!entry.isMember() && entry.direction != EntryDirection::Read);
    }
    const int kinds = (read ? 1 : 0) + (write ? 1 : 0) + (member ? 1 : 0);
    if (kinds > 1) {
        return CellUse::Mixed;
    }
    return member ? CellUse::Member : read ? CellUse::Read : CellUse::Write;
}

std::string describeEntry(const MapEntry& entry) {
    std::string text = entry.isMember() ? "data set " + std::to_string(entry.dataSet) + " member " +
                                              std::to_string(entry.row)
                                        : "variables row " + std::to_string(entry.row);
    text += " (";
    if (!entry.isMember()) {
        text += entry.direction == EntryDirection::Read    ? "Read, "
                : entry.direction == EntryDirection::Write ? "Write, "
                                                           : "no direction, ";
    }
    text += entry.startBit >= 0    ? "start bit " + std::to_string(entry.startBit)
            : entry.startBit == -1 ? std::string("no start bit")
                                   : std::string("start bit not 0 to 7");
    text += ')';
    if (entry.conflict) {
        text += " - conflict";
    }
    return text;
}

std::string describePosition(const DataArrayMap& map, std::size_t position, std::size_t limit) {
    const std::span<const MapEntry> entries = map.at(position);
    std::string text = "Position " + std::to_string(position);
    if (entries.empty()) {
        return text + ": free";
    }
    for (std::size_t i = 0; i < entries.size() && i < limit; ++i) {
        text += '\n' + describeEntry(entries[i]);
    }
    if (entries.size() > limit) {
        text += "\n... and " + std::to_string(entries.size() - limit) + " more";
    }
    return text;
}

std::vector<std::string> describeConflicts(const DataArrayMap& map) {
    std::vector<std::string> lines;
    for (std::size_t position = 0; position < kDataArraySize && lines.size() < map.conflictCount();
         ++position) {
        std::string line;
        for (const MapEntry& entry : map.at(position)) {
            if (entry.conflict) {
                MapEntry named = entry;
                named.conflict = false; // the line says so once
                line += (line.empty() ? "position " + std::to_string(position) + ": " : std::string("; ")) +
                        describeEntry(named);
            }
        }
        if (!line.empty()) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

} // namespace sw::access
