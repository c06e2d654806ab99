#pragma once

#include <string>
#include <vector>

namespace sw {

inline constexpr int LangTableSize = 1500;

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
