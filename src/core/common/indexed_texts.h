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

// Whether `table` holds one non-empty text per index, in strictly ascending order from `first` to `last`.
// Indexes between may be left out: a block of them can be kept free for texts added beside the table's.
template <class Index, std::size_t N>
constexpr bool textsInIndexOrder(const IndexedText<Index> (&table)[N], int first, int last) {
    int previous = first - 1;
    for (const IndexedText<Index>& entry : table) {
        if (static_cast<int>(entry.index) <= previous || entry.english.empty()) {
            return false;
        }
        previous = static_cast<int>(entry.index);
    }
    return static_cast<int>(table[0].index) == first && previous == last;
}

// The English text of `index` in a table as textsInIndexOrder accepts it; `outside` for an index it does
// not hold.
template <class Index, std::size_t N>
constexpr std::string_view englishTextOf(const IndexedText<Index> (&table)[N], Index index,
                                         std::string_view outside) {
    for (const IndexedText<Index>& entry : table) {
        if (entry.index == index) {
            return entry.english;
        }
    }
    return outside;
}

} // namespace sw
