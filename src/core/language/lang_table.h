#pragma once

#include <string>
#include <vector>

namespace sw {

// Texts 0 to 1499 are the ones every language file of the converter's family numbers alike; this
// program's own texts start at kOwnTextsFirst (the errors' texts among them), and the indexes between
// the two ranges hold nothing.
inline constexpr int kSeedTextCount = 1500;
inline constexpr int kOwnTextsFirst = 2000;
inline constexpr int LangTableSize = 2200;

// Whether a language file may set the text of that index.
constexpr bool isTextIndex(int index) {
    return (index >= 0 && index < kSeedTextCount) || (index >= kOwnTextsFirst && index < LangTableSize);
}

// The indexed string table every caption, hint, column title and message is looked up in.
class LangTable {
public:
    // An index outside the table reads as a single blank, like an unused entry.
    const std::string& Get(int index) const {
        static const std::string blank = " ";
        if (index < 0 || static_cast<std::size_t>(index) >= m_texts.size()) {
            return blank;
        }
        return m_texts[static_cast<std::size_t>(index)];
    }
    void Put(int index, std::string text) {
        if (index >= 0 && static_cast<std::size_t>(index) < m_texts.size()) {
            m_texts[static_cast<std::size_t>(index)] = std::move(text);
        }
    }
    void clear() { m_texts.clear(); }
    void append(std::string text) { m_texts.push_back(std::move(text)); }
    std::size_t size() const { return m_texts.size(); }

private:
    std::vector<std::string> m_texts;
};

} // namespace sw
