#include "core/language/builtin_texts.h"
#include "core/parameters/parameter_file.h"
#include "core/parameters/parameter_set.h"
#include "gui/parameters/collapsible_group.h"
#include "gui/parameters/parameters_dialog.h"
#include "support/gui/fake_message_service.h"
#include "support/gui/layout_checks.h"
#include "test_project.h"
#include "test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleHints>
#include <QTest>

#include <array>
#include <memory>
#include <string>
#include <vector>

using sw::gui::ParametersDialog;
using sw::test::FakeMessageService;

namespace {

// A program state with the English texts and a project folder of its own.
struct Project : sw::test::TestProject {
    std::string file() const { return sw::test::readFile(paths.parGenFile()); }
    bool hasFile() const { return std::filesystem::exists(paths.parGenFile()); }
};

// Shows the dialog as the active window, so typed keys reach the focused field.
void showActive(ParametersDialog& dialog) {
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
}

} // namespace

class ParametersDialogTest : public QObject {
    Q_OBJECT
private slots:
    void opensWithDefaultsAndCancelWritesNothing() {
        Project project;
        FakeMessageService messages;
        ParametersDialog dialog(project.state);
        dialog.show();
        QCOMPARE(dialog.values(), sw::ParameterSet{});
        QCOMPARE(dialog.serialBaudrateList->currentText(), QStringLiteral("115200"));
        dialog.clientIp1Edit->setText(QStringLiteral("1"));
        dialog.onCancelClicked();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!project.hasFile());
        QVERIFY(messages.shown.empty());
        // The next opening reloads, so the cancelled edit is gone.
        dialog.show();
        QCOMPARE(dialog.clientIp1Edit->text(), QStringLiteral("192"));
    }

    void theTitlePanelShowsTheProductCode() {
        Project project;
        ParametersDialog dialog(project.state);
        QCOMPARE(dialog.softwareCodeLabel->text(),
                 QString::fromStdString(project.state.product.softwareCode));
    }
    void listsOfferTheCoreChoicesAndOnlyTheHeightChanges() {
        Project project;
        ParametersDialog dialog(project.state);
        QStringList parities;
        for (int i = 0; i < dialog.serialParityList->count(); ++i) {
            parities << dialog.serialParityList->itemText(i);
        }
        QStringList expected;
        for (std::string_view name : sw::kSerialParityNames) {
            expected << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        }
        QCOMPARE(parities, expected);
        QVERIFY(!dialog.serialBaudrateList->isEditable());

        dialog.show();
        const QSize size = dialog.size();
        dialog.resize(size.width() + 140, size.height() - 100);
        QCOMPARE(dialog.width(), size.width());
        QCOMPARE(dialog.height(), size.height() - 100);
    }

    void layoutShowsEveryFieldWithoutOverlap() {
        Project project;
        ParametersDialog dialog(project.state);
        showActive(dialog);
        QCOMPARE(sw::test::layoutProblem({dialog.softwareCodeLabel, dialog.softwareDescriptionLabel,
                                          dialog.clientGroup, dialog.serialGroup, dialog.okButton,
                                          dialog.cancelButton}),
                 QString());
        QCOMPARE(sw::test::layoutProblem({dialog.clientIpLabel,
                                          dialog.clientIp1Edit,
                                          dialog.clientIp2Edit,
                                          dialog.clientIp3Edit,
                                          dialog.clientIp4Edit,
                                          dialog.clientMaskLabel,
                                          dialog.clientMask1Edit,
                                          dialog.clientMask2Edit,
                                          dialog.clientMask3Edit,
                                          dialog.clientMask4Edit,
                                          dialog.gatewayEnabledBox,
                                          dialog.clientGateway1Edit,
                                          dialog.clientGateway2Edit,
                                          dialog.clientGateway3Edit,
                                          dialog.clientGateway4Edit,
                                          dialog.vlanLabel,
                                          dialog.vlanEdit,
                                          dialog.appIdLabel,
                                          dialog.appIdEdit,
                                          dialog.serialInterfaceLabel,
                                          dialog.serialInterfaceList,
                                          dialog.serialBaudrateLabel,
                                          dialog.serialBaudrateList,
                                          dialog.serialParityLabel,
                                          dialog.serialParityList,
                                          dialog.serialStopBitsLabel,
                                          dialog.serialStopBitsList}),
                 QString());
    }

    void everyFieldShowsAndReturnsItsOwnValue() {
        Project project;
        ParametersDialog dialog(project.state);
        sw::ParameterSet set;
        set.IEC61850_Client_IP1 = "1";
        set.IEC61850_Client_IP2 = "2";
        set.IEC61850_Client_IP3 = "3";
        set.IEC61850_Client_IP4 = "4";
        set.IEC61850_Client_SM1 = "5";
        set.IEC61850_Client_SM2 = "6";
        set.IEC61850_Client_SM3 = "7";
        set.IEC61850_Client_SM4 = "8";
        set.IEC61850_Client_GAT1 = "9";
        set.IEC61850_Client_GAT2 = "10";
        set.IEC61850_Client_GAT3 = "11";
        set.IEC61850_Client_GAT4 = "12";
        set.IEC61850_Client_En_GAT = true;
        set.IEC61850_Client_VLAN = "13";
        set.IEC61850_Client_Application_ID = "14";
        set.SERIAL_SERIAL = 1;
        set.SERIAL_BAUDRATE = 2;
        set.SERIAL_PARITY = 1;
        set.SERIAL_STOPBITS = 1;
        dialog.setValues(set);
        QCOMPARE(dialog.values(), set);
        // Each control shows its own value, not a neighbour's.
        const std::pair<QLineEdit*, const char*> texts[] = {
            {dialog.clientIp1Edit, "1"},       {dialog.clientIp4Edit, "4"},
            {dialog.clientMask1Edit, "5"},     {dialog.clientMask3Edit, "7"},
            {dialog.clientGateway2Edit, "10"}, {dialog.clientGateway4Edit, "12"},
            {dialog.vlanEdit, "13"},           {dialog.appIdEdit, "14"},
        };
        for (const auto& [edit, value] : texts) {
            QCOMPARE(edit->text(), QLatin1String(value));
        }
        QVERIFY(dialog.gatewayEnabledBox->isChecked());
        QCOMPARE(dialog.serialInterfaceList->currentIndex(), 1);
        QCOMPARE(dialog.serialBaudrateList->currentIndex(), 2);
    }

    void languageSwitchKeepsTheGroupTitles() {
        Project project;
        ParametersDialog dialog(project.state);
        project.state.texts.Put(406, "Client IEC61850");
        project.state.texts.Put(407, "Indirizzo IP");
        project.state.texts.Put(400, "Comunicazione");
        dialog.applyTexts();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Comunicazione"));
        QCOMPARE(dialog.clientIpLabel->text(), QStringLiteral("Indirizzo IP"));
        QCOMPARE(dialog.clientGroup->title(), QStringLiteral("1. IEC61850 Client"));
    }

    void typingAnAddressMovesThroughTheByteFields() {
        Project project;
        ParametersDialog dialog(project.state);
        showActive(dialog);
        dialog.clientIp1Edit->clear();
        dialog.clientIp1Edit->setFocus();
        QTest::keyClicks(static_cast<QWidget*>(nullptr), QStringLiteral("192.168.1.20"));
        QCOMPARE(dialog.clientIp1Edit->text(), QStringLiteral("192"));
        QCOMPARE(dialog.clientIp2Edit->text(), QStringLiteral("168"));
        QCOMPARE(dialog.clientIp3Edit->text(), QStringLiteral("1"));
        QCOMPARE(dialog.clientIp4Edit->text(), QStringLiteral("20"));
        // Onward into the mask, and at the last gateway byte the dot is swallowed where it is.
        QTest::keyClicks(static_cast<QWidget*>(nullptr), QStringLiteral(".255"));
        QCOMPARE(dialog.clientMask1Edit->text(), QStringLiteral("255"));
        dialog.clientGateway4Edit->setFocus();
        dialog.clientGateway4Edit->setText(QStringLiteral("1"));
        QTest::keyClicks(static_cast<QWidget*>(nullptr), QStringLiteral(".2"));
        QCOMPARE(dialog.clientGateway4Edit->text(), QStringLiteral("12"));
        QCOMPARE(QApplication::focusWidget(), dialog.clientGateway4Edit);
        // The application identifier takes a dot like any character.
        QTest::keyClicks(dialog.appIdEdit, QStringLiteral(".x"));
        QCOMPARE(dialog.appIdEdit->text(), QStringLiteral("0.x"));
    }

    void vlanTakesOnlyDigitsAndAtMostEight() {
        Project project;
        sw::ParameterSet set;
        set.IEC61850_Client_VLAN = "ab";
        sw::writeParameterFile(project.state.session.project().parGenFile(), set);
        ParametersDialog dialog(project.state);
        showActive(dialog);
        QLineEdit* vlan = dialog.vlanEdit;
        // A hand-written value is shown as it is and can be deleted.
        QCOMPARE(vlan->text(), QStringLiteral("ab"));
        vlan->setFocus();
        vlan->end(false);
        QTest::keyClick(vlan, Qt::Key_Backspace);
        QTest::keyClick(vlan, Qt::Key_Backspace);
        QCOMPARE(vlan->text(), QString());
        QTest::keyClicks(vlan, QStringLiteral("1a2.-3456789012"));
        QCOMPARE(vlan->text(), QStringLiteral("12345678"));
    }

    void firstFailingRuleShowsOneMessageAndWritesNothing() {
        struct Case {
            const char* what;
            std::function<void(ParametersDialog&)> edit;
            int message;
            QString typed;                                    // shown after the message; null: nothing
            std::function<QWidget*(ParametersDialog&)> field; // focused afterwards
        };
        const Case cases[] = {
            {"IP2 empty and SM1 out of range",
             [](ParametersDialog& d) {
                 d.clientIp2Edit->clear();
                 d.clientMask1Edit->setText(QStringLiteral("256"));
             },
             650, QStringLiteral(""), [](ParametersDialog& d) -> QWidget* { return d.clientIp2Edit; }},
            {"used gateway out of range",
             [](ParametersDialog& d) {
                 d.gatewayEnabledBox->setChecked(true);
                 d.clientGateway3Edit->setText(QStringLiteral("300"));
             },
             659, QStringLiteral("300"),
             [](ParametersDialog& d) -> QWidget* { return d.clientGateway3Edit; }},
            {"two stop bits with even parity",
             [](ParametersDialog& d) {
                 d.serialParityList->setCurrentIndex(2);
                 d.serialStopBitsList->setCurrentIndex(1);
             },
             763, QString(), [](ParametersDialog& d) -> QWidget* { return d.serialStopBitsList; }},
        };
        for (const Case& c : cases) {
            Project project;
            // The message is the table's text at the rule's index, whatever the language.
            for (int index = 600; index < 800; ++index) {
                project.state.texts.Put(index, "message " + std::to_string(index));
            }
            FakeMessageService messages;
            ParametersDialog dialog(project.state);
            dialog.show();
            QApplication::setActiveWindow(&dialog);
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            c.edit(dialog);
            dialog.okButton->click();
            QString expected = QStringLiteral("message %1").arg(c.message);
            if (!c.typed.isNull()) {
                expected += QStringLiteral("\nTyped: \"%1\"").arg(c.typed);
            }
            QCOMPARE(messages.texts(), QStringList{expected});
            QVERIFY(messages.shown[0].icon == sw::gui::MessageService::Icon::Error);
            QWidget* field = c.field(dialog);
            QVERIFY2(QApplication::focusWidget() == field, c.what);
            if (auto* edit = qobject_cast<QLineEdit*>(field); edit != nullptr && !edit->text().isEmpty()) {
                QCOMPARE(edit->selectedText(), edit->text());
            }
            QVERIFY2(dialog.isVisible(), c.what);
            QVERIFY2(!project.hasFile(), c.what);
        }
    }

    void aRefusalShowsWhatWasTypedInTheChosenLanguage() {
        Project project;
        sw::test::speakItalian(project.state.texts);
        FakeMessageService messages;
        ParametersDialog dialog(project.state);
        dialog.show();
        dialog.clientIp3Edit->setText(QStringLiteral("300"));
        dialog.okButton->click();
        QCOMPARE(messages.texts().size(), 1);
        QVERIFY2(messages.texts().front().endsWith(QStringLiteral("\nInserito: \"300\"")),
                 qPrintable(messages.texts().front()));
        QVERIFY(messages.texts().front().startsWith(QString::fromStdString(project.state.texts.Get(651))));
    }

    void confirmingWritesTheFieldsAsTheyStand() {
        Project project;
        FakeMessageService messages;
        ParametersDialog dialog(project.state);
        dialog.show();
        dialog.clientIp1Edit->setText(QStringLiteral("010"));
        dialog.clientGateway1Edit->setText(QStringLiteral("abc"));
        dialog.vlanEdit->setText(QStringLiteral("12345678"));
        dialog.appIdEdit->setText(QStringLiteral(" 7"));
        dialog.serialStopBitsList->setCurrentIndex(1);
        dialog.serialInterfaceList->setCurrentIndex(1);
        dialog.okButton->click();
        QVERIFY(messages.shown.empty());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        sw::ParameterSet expected;
        expected.IEC61850_Client_IP1 = "010";
        expected.IEC61850_Client_GAT1 = "abc";
        expected.IEC61850_Client_VLAN = "12345678";
        expected.IEC61850_Client_Application_ID = " 7";
        expected.SERIAL_STOPBITS = 1;
        expected.SERIAL_SERIAL = 1;
        QCOMPARE(project.file(), sw::parameterFileBytes(expected));
    }

    void serialIndexesFromTheFileSelectOrLeaveUnselected() {
        Project project;
        sw::test::writeFile(project.state.session.project().parGenFile(),
                            "<Par_Gen><SERIAL_SERIAL>abc</SERIAL_SERIAL><SERIAL_BAUDRATE>9</SERIAL_BAUDRATE>"
                            "<IEC61850_Client_En_GAT>1</IEC61850_Client_En_GAT><Extra>1</Extra></Par_Gen>");
        FakeMessageService messages;
        ParametersDialog dialog(project.state);
        dialog.show();
        QCOMPARE(dialog.serialInterfaceList->currentText(), QStringLiteral("RS232"));
        QCOMPARE(dialog.serialBaudrateList->currentIndex(), -1);
        QVERIFY(dialog.gatewayEnabledBox->isChecked());
        dialog.onOkClicked();
        QVERIFY(messages.shown.empty());
        const std::string file = project.file();
        QVERIFY(file.find("<SERIAL_BAUDRATE>-1</SERIAL_BAUDRATE>") != std::string::npos);
        QVERIFY(file.find("Extra") == std::string::npos);
    }

    void unreadableFileIsReportedAndTheFieldsKeepTheirValues() {
        Project project;
        FakeMessageService messages;
        sw::ParameterSet set;
        set.IEC61850_Client_IP4 = "77";
        sw::writeParameterFile(project.state.session.project().parGenFile(), set);
        ParametersDialog dialog(project.state);
        dialog.show();
        dialog.hide();
        sw::test::writeFile(project.state.session.project().parGenFile(), "<Par_Gen><IEC61850_Client_IP1>");
        dialog.show();
        QCOMPARE(messages.shown.size(), size_t(1));
        QVERIFY(messages.texts().front().contains(QStringLiteral("ParGen.xml")));
        QCOMPARE(dialog.clientIp4Edit->text(), QStringLiteral("77"));
        // Confirming replaces the unreadable file.
        dialog.onOkClicked();
        QCOMPARE(project.file(), sw::parameterFileBytes(set));
    }

    void failedSaveShowsTheReasonAndKeepsTheDialogAsTyped() {
        Project project;
        FakeMessageService messages;
        project.state.session.activeProjectFolder = project.dir.path() / "gone";
        ParametersDialog dialog(project.state);
        dialog.show();
        dialog.clientIp3Edit->setText(QStringLiteral("5"));
        dialog.okButton->click();
        QCOMPARE(messages.shown.size(), size_t(1));
        QVERIFY(messages.texts().front().contains(QStringLiteral("ParGen.xml")));
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.result() != QDialog::Accepted);
        QCOMPARE(dialog.clientIp3Edit->text(), QStringLiteral("5"));
    }

    void tabRunsFromTheButtonsThroughBothGroups() {
        Project project;
        ParametersDialog dialog(project.state);
        showActive(dialog);
        dialog.okButton->setFocus();
        QStringList visited{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 20; ++i) {
            QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        const QStringList expected =
            QStringLiteral("Btn_OK Btn_Cancel E_IEC61850_Client_IP1 E_IEC61850_Client_IP2 "
                           "E_IEC61850_Client_IP3 E_IEC61850_Client_IP4 E_IEC61850_Client_SM1 "
                           "E_IEC61850_Client_SM2 E_IEC61850_Client_SM3 E_IEC61850_Client_SM4 "
                           "CB_IEC61850_Client_En_GAT E_IEC61850_Client_GAT1 E_IEC61850_Client_GAT2 "
                           "E_IEC61850_Client_GAT3 E_IEC61850_Client_GAT4 E_IEC61850_Client_VLAN "
                           "E_IEC61850_Client_AppID CB_Serial_Serial CB_Serial_Baudrate "
                           "Cb_Serial_Parity CB_Serial_StopBits")
                .split(QLatin1Char(' '));
        QCOMPARE(visited, expected);
    }

    void wheelOverTheStackScrollsItInsteadOfTheList() {
        Project project;
        ParametersDialog dialog(project.state);
        dialog.resize(460, 200);
        showActive(dialog);
        QScrollBar* bar = dialog.CPG->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        const int lines = QGuiApplication::styleHints()->wheelScrollLines();
        QComboBox* list = dialog.serialInterfaceList;
        dialog.CPG->ensureWidgetVisible(list);
        const int start = bar->value();
        QVERIFY(start > 0);
        // The pointer stays put while the fields move under it.
        const QPoint pointer = list->mapToGlobal(list->rect().center());
        auto wheel = [&](int delta) {
            QWidget* under = dialog.childAt(dialog.mapFromGlobal(pointer));
            QVERIFY(under != nullptr);
            const QPoint local = under->mapFromGlobal(pointer);
            QWheelEvent event(local, pointer, QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(under, &event);
        };
        wheel(120);
        const int up = std::max(0, start - lines * bar->singleStep());
        QCOMPARE(bar->value(), up);
        wheel(-120);
        QCOMPARE(bar->value(), std::min(bar->maximum(), up + lines * bar->singleStep()));
        QCOMPARE(list->currentIndex(), 0);
    }
};

QTEST_MAIN(ParametersDialogTest)
#include "parameters_dialog_test.moc"
