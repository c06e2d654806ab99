#include "gui/common/error_text.h"
#include "gui/common/shown_text.h"

#include "core/common/config_error.h"
#include "core/language/builtin_texts.h"
#include "core/language/language_file.h"
#include "gui/common/message_service.h"
#include "gui/fake_message_service.h"

#include <QtTest>

#include <filesystem>
#include <stdexcept>

namespace {

const std::filesystem::path kItalian =
    std::filesystem::path(SW_FIXTURES_DIR) / ".." / ".." / "assets" / "LANGUAGE" / "Italiano.lng";

} // namespace

class ErrorTextTest : public QObject {
    Q_OBJECT

private slots:
    void anErrorOfTheCoreIsShownInTheChosenLanguage() {
        sw::LangTable texts;
        sw::fillBuiltinTexts(texts);
        sw::LoadLanguageFile(texts, kItalian);
        sw::gui::setShownTexts(&texts);
        sw::test::FakeMessageService messages;

        sw::gui::runGuarded(nullptr,
                            [] { throw sw::ConfigError(sw::ErrorCode::NotRegularFile, {"/p/Bay 7 Ü"}); });
        QCOMPARE(messages.texts(), QStringList{QStringLiteral(
                                       "Impossibile leggere il file \"/p/Bay 7 Ü\": non è un file normale")});

        // A text the language leaves blank, a sentence without a code and any other error read in English.
        texts.Put(static_cast<int>(sw::ErrorCode::NotRegularFile), " ");
        QCOMPARE(sw::gui::errorText(sw::ConfigError(sw::ErrorCode::NotRegularFile, {"f"})),
                 QStringLiteral("Cannot read the file \"f\": it is not a regular file"));
        QCOMPARE(sw::gui::errorText(sw::ConfigError("Said as it is.")), QStringLiteral("Said as it is."));
        QCOMPARE(sw::gui::errorText(std::runtime_error("raw")), QStringLiteral("raw"));
        sw::gui::setShownTexts(nullptr);
        QCOMPARE(sw::gui::errorText(sw::ConfigError(sw::ErrorCode::NotRegularFile, {"f"})),
                 QStringLiteral("Cannot read the file \"f\": it is not a regular file"));
    }
};

QTEST_MAIN(ErrorTextTest)
#include "error_text_test.moc"
