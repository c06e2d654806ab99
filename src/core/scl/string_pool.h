#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace sw {

// Holds one copy of every distinct text of a device model. Names, functional constraints and basic
// types repeat under every logical node a template expands into, so the model keeps a pointer to the
// shared copy instead of a string of its own. Equal texts give the same pointer, which also makes
// name comparison inside the loader a pointer comparison.
class StringPool {
public:
    StringPool() = default;
    StringPool(const StringPool&) = delete;
    StringPool& operator=(const StringPool&) = delete;

    // The shared copy of the text; stable for the pool's lifetime.
    const std::string* intern(std::string_view text);
    // The shared copy if the pool holds the text, else null: a text that is not in the pool names
    // nothing of the model.
    const std::string* find(std::string_view text) const;
    std::size_t size() const { return m_strings.size(); }

    // The one empty text, shared by every pool and by objects that never met one.
    static const std::string* empty();

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    std::unordered_set<std::string, Hash, std::equal_to<>> m_strings;
};

} // namespace sw
