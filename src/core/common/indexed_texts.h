#pragma once

#include <cstddef>
#include <string_view>

namespace sw {

// One entry of a table of the program's own texts: the index the string table holds it at (an enum whose
// values are the indexes) and its English text.
template <class Index> struct IndexedText {
    Index index;
    std::string_view english;
};

// Whether `table` holds one non-empty text for every index from `first` to `last`, in order.
template <class Index, std::size_t N>
constexpr bool textsInIndexOrder(const IndexedText<Index> (&table)[N], int first, int last) {
    int expected = first;
    for (const IndexedText<Index>& entry : table) {
        if (static_cast<int>(entry.index) != expected++ || entry.english.empty()) {
            return false;
        }
    }
    return expected == last + 1;
}

// The English text of `index` in a table that starts at `first`; `outside` for an index it does not hold.
template <class Index, std::size_t N>
constexpr std::string_view englishTextOf(const IndexedText<Index> (&table)[N], int first, Index index,
                                         std::string_view outside) {
    const int offset = static_cast<int>(index) - first;
    return offset < 0 || offset >= static_cast<int>(N) ? outside : table[offset].english;
}

} // namespace sw
