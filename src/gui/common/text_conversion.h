#pragma once

#include <QString>

#include <string>

namespace sw::gui {

// The core speaks UTF-8 std::string, the windows QString; these two cross that edge.
inline QString toQString(const std::string& utf8) {
    return QString::fromStdString(utf8);
}
inline std::string toUtf8String(const QString& text) {
    return text.toStdString();
}

} // namespace sw::gui
