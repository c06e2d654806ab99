#include "core/scl/string_pool.h"

namespace sw {

const std::string* StringPool::empty() {
    static const std::string kEmpty;
    return &kEmpty;
}

const std::string* StringPool::intern(std::string_view text) {
    if (text.empty()) {
        return empty();
    }
    if (auto found = m_strings.find(text); found != m_strings.end()) {
        return &*found;
    }
    return &*m_strings.emplace(text).first;
}

const std::string* StringPool::find(std::string_view text) const {
    if (text.empty()) {
        return empty();
    }
    auto found = m_strings.find(text);
    return found == m_strings.end() ? nullptr : &*found;
}

} // namespace sw
