#include "gui/common/shown_text.h"

#include "core/language/lang_table.h"

#include <string>

namespace sw::gui {

namespace {

const LangTable* g_texts = nullptr;

} // namespace

void setShownTexts(const LangTable* texts) {
    g_texts = texts;
}

const LangTable* shownTexts() {
    return g_texts;
}

QString shownText(const LangTable& texts, WindowText text) {
    const std::string& chosen = texts.Get(static_cast<int>(text));
    if (chosen.find_first_not_of(' ') != std::string::npos) {
        return QString::fromStdString(chosen);
    }
    const std::string_view english = englishWindowText(text);
    return QString::fromUtf8(english.data(), static_cast<qsizetype>(english.size()));
}

QString shownText(WindowText text) {
    static const LangTable kNone;
    return shownText(g_texts != nullptr ? *g_texts : kNone, text);
}

} // namespace sw::gui
