#include "gui/common/error_text.h"

#include "core/common/config_error.h"
#include "core/language/lang_table.h"
#include "gui/common/shown_text.h"

namespace sw::gui {

QString errorText(const std::exception& error) {
    const LangTable* texts = shownTexts();
    const auto* configError = dynamic_cast<const ConfigError*>(&error);
    if (configError == nullptr || configError->code() == ErrorCode::Message || texts == nullptr) {
        return QString::fromUtf8(error.what());
    }
    const std::string& text = texts->Get(static_cast<int>(configError->code()));
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
        return shownText(WindowText::UnknownError);
    }
}

} // namespace sw::gui
