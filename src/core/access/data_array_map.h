#pragma once

#include "core/access/access_file.h"
#include "core/access/access_schema.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The converter's internal data array as the access list fills it: for each of its 1400 positions, the
// variables and data-set members that name it. Two entries collide when both bring values from the
// IEC 61850 side into one position and one start bit: variables read from a server, and every data-set
// member (a data set only ever arrives from the server). An empty start bit is a value of its own.
namespace sw::access {

// A variable's direction on the map; None for a cell that names neither (which the check refuses).
enum class EntryDirection : std::uint8_t { None, Read, Write };

// One variable or data-set member on the array.
struct MapEntry {
    std::size_t dataSet = 0; // data-set row (from 1), 0 for a variable
    std::size_t row = 0;     // variables row (from 1), or the member (from 1) of data set `dataSet`
    EntryDirection direction = EntryDirection::None; // of a variable; members carry none
    std::int8_t startBit = -1;                       // 0 to 7, -1 when empty, -2 for any other text
    bool conflict = false;                           // another entry brings values into the same place

    bool isMember() const { return dataSet != 0; }
    // Whether the entry writes values from the IEC 61850 side into the array.
    bool fillsArray() const { return isMember() || direction == EntryDirection::Read; }
};

// What a position is used for, as the map colours it.
enum class CellUse : std::uint8_t { Free, Read, Write, Member, Mixed, Conflict };

class DataArrayMap {
public:
    // The entries of one position, variables first in row order, then members in data-set order.
    std::span<const MapEntry> at(std::size_t position) const;
    CellUse use(std::size_t position) const;
    // Positions with at least one conflicting entry.
    std::size_t conflictCount() const { return m_conflicts; }
    const std::vector<MapEntry>& entries() const { return m_entries; }

    friend DataArrayMap buildDataArrayMap(const AccessFile& access);

private:
    std::vector<MapEntry> m_entries; // grouped by position
    std::array<std::uint32_t, kDataArraySize + 1> m_begin{};
    std::size_t m_conflicts = 0;
};

// The map of the access list. Rows whose position is not an integer from 0 to 1399 are not on it.
DataArrayMap buildDataArrayMap(const AccessFile& access);

// Words an entry: "variables row 3 (Read, start bit 2)", "data set 2 member 5 (no start bit)".
std::string describeEntry(const MapEntry& entry);
// The hover text of a position: its number, then one line per entry (at most `limit`, then how many
// more), conflicting ones marked.
std::string describePosition(const DataArrayMap& map, std::size_t position, std::size_t limit = 12);

// One line per position where entries conflict, naming the conflicting ones: "position 5: variables
// row 1 (Read, start bit 0); data set 2 member 3 (start bit 0)". Empty when nothing conflicts.
std::vector<std::string> describeConflicts(const DataArrayMap& map);

// A start-bit cell as the map reads it: 0 to 7, -1 for an empty one, -2 for anything else.
std::int8_t mapStartBit(std::string_view text);

} // namespace sw::access
