#include "core/xml/xml_writer.h"

#include "core/common/build_config.h"

#include <array>
#include <stdexcept>

namespace sw::xml {

void StreamWriter::endStartTag() {
    if (m_startTagOpen) {
        m_bytes += '>';
        m_startTagOpen = false;
    }
}

void StreamWriter::reserve(std::size_t bytes) {
    m_bytes.reserve(bytes);
}

void StreamWriter::open(std::string_view name) {
    endStartTag();
    m_bytes += '<';
    m_bytes += name;
    m_open.emplace_back(name);
    m_startTagOpen = true;
}

void StreamWriter::attribute(std::string_view name, std::string_view value) {
    if (!m_startTagOpen) {
        throw std::logic_error("An XML attribute was written outside a start tag");
    }
    m_bytes += ' ';
    m_bytes += name;
    m_bytes += "=\"";
    // The saver's escapes inside a double-quoted value: control characters as two-digit references, and
    // the three characters that would end or break the value.
    static constexpr auto kEscaped = [] {
        std::array<bool, 256> table{};
        for (unsigned c = 0; c < 32; ++c) {
            table[c] = true;
        }
        table['"'] = table['&'] = table['<'] = true;
        return table;
    }();
    std::size_t done = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (!kEscaped[c]) {
            continue;
        }
        m_bytes.append(value, done, i - done);
        done = i + 1;
        switch (c) {
        case '"':
            m_bytes += "&quot;";
            break;
        case '&':
            m_bytes += "&amp;";
            break;
        case '<':
            m_bytes += "&lt;";
            break;
        default:
            m_bytes += "&#";
            m_bytes += static_cast<char>('0' + c / 10);
            m_bytes += static_cast<char>('0' + c % 10);
            m_bytes += ';';
            break;
        }
    }
    m_bytes.append(value, done);
    m_bytes += '"';
}

void StreamWriter::close() {
    if (m_open.empty()) {
        throw std::logic_error("An XML element was closed that was never opened");
    }
    if (m_startTagOpen) {
        m_bytes += "/>";
        m_startTagOpen = false;
    } else {
        m_bytes += "</";
        m_bytes += m_open.back();
        m_bytes += '>';
    }
    m_open.pop_back();
}

void StreamWriter::versionComment() {
    endStartTag();
    m_bytes += "<!--SW_VERSION = ";
    m_bytes += kSoftwareVersion;
    m_bytes += "-->";
}

std::string StreamWriter::take() {
    if (!m_open.empty()) {
        throw std::logic_error("An XML element was left open");
    }
    return std::move(m_bytes);
}

} // namespace sw::xml
