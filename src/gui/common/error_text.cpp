#include "gui/common/error_text.h"

#include "core/common/config_error.h"
#include "core/language/lang_table.h"

namespace sw::gui {

namespace {

const LangTable* g_texts = nullptr;

} // namespace

void setErrorTexts(const LangTable* texts) {
    g_texts = texts;
}

QString errorText(const std::exception& error) {
    const auto* configError = dynamic_cast<const ConfigError*>(&error);
    if (configError == nullptr || configError->code() == ErrorCode::Message || g_texts == nullptr) {
        return QString::fromUtf8(error.what());
    }
    const std::string& text = g_texts->Get(static_cast<int>(configError->code()));
    // A language file that leaves the text blank leaves the English one.
    if (text.find_first_not_of(' ') == std::string::npos) {
        return QString::fromUtf8(error.what());
    }
    return QString::fromStdString(fillPlaces(text, configError->arguments()));
}

QString errorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& thrown) {
        return errorText(thrown);
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

} // namespace sw::gui
