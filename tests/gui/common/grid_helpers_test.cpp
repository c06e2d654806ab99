#include "gui/common/grid_helpers.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include <algorithm>

class GridHelpersTest : public QObject {
    Q_OBJECT

private:
    QStandardItemModel m_model{3, 3};
    QTableView m_view;

    void setCurrent(int row, int column) {
        if (row < 0) {
            m_view.selectionModel()->clearCurrentIndex();
        } else {
            m_view.setCurrentIndex(m_model.index(row, column));
        }
    }

private slots:
    void initTestCase() {
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < 3; ++column) {
                m_model.setItem(row, column, new QStandardItem(QStringLiteral("x")));
            }
        }
        m_model.setItem(1, 2, new QStandardItem(QString(60, QLatin1Char('W'))));
        m_view.setModel(&m_model);
        m_view.horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        m_view.resize(400, 300);
        m_view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_view));
    }

    void enterMovesToNextCell_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("consumed");
        QTest::addColumn<int>("expectedRow");
        QTest::addColumn<int>("expectedColumn");

        QTest::newRow("right") << 0 << 0 << int(Qt::Key_Return) << true << true << 0 << 1;
        QTest::newRow("keypad enter") << 1 << 1 << int(Qt::Key_Enter) << true << true << 1 << 2;
        QTest::newRow("last column to next row") << 0 << 2 << int(Qt::Key_Return) << true << true << 1 << 0;
        QTest::newRow("last cell to first") << 2 << 2 << int(Qt::Key_Return) << true << true << 0 << 0;
        QTest::newRow("option off") << 0 << 2 << int(Qt::Key_Return) << false << false << 0 << 2;
        QTest::newRow("other key") << 0 << 0 << int(Qt::Key_Tab) << true << false << 0 << 0;
        QTest::newRow("no current cell") << -1 << -1 << int(Qt::Key_Return) << true << true << -1 << -1;
    }

    void enterMovesToNextCell() {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, key);
        QFETCH(bool, enabled);
        QFETCH(bool, consumed);
        QFETCH(int, expectedRow);
        QFETCH(int, expectedColumn);

        setCurrent(row, column);
        QCOMPARE(sw::gui::moveToNextCellOnEnter(&m_view, key, enabled), consumed);
        QCOMPARE(m_view.currentIndex().row(), expectedRow);
        QCOMPARE(m_view.currentIndex().column(), expectedColumn);
    }

    void headerDoubleClickFitsColumn() {
        // As narrow as the style lets a column be (the Windows style's header keeps wider ones).
        const int narrow = std::max(30, m_view.horizontalHeader()->minimumSectionSize());
        m_view.setColumnWidth(2, narrow);

        sw::gui::fitColumnToContents(&m_view, 1, 2, true);
        QCOMPARE(m_view.columnWidth(2), narrow);

        sw::gui::fitColumnToContents(&m_view, -1, 2, false);
        QCOMPARE(m_view.columnWidth(2), narrow);

        sw::gui::fitColumnToContents(&m_view, -1, 2, true);
        QVERIFY(m_view.columnWidth(2) > narrow);
        // Qt's own fit, with nothing added on either side.
        const QAbstractItemView& asItemView = m_view;
        QCOMPARE(m_view.columnWidth(2),
                 qMax(asItemView.sizeHintForColumn(2), m_view.horizontalHeader()->sectionSizeHint(2)));

        // A column that does not exist is ignored rather than passed on to the view: no column changes
        // and none is added.
        const int fitted = m_view.columnWidth(2);
        sw::gui::fitColumnToContents(&m_view, -1, 7, true);
        QCOMPARE(m_view.model()->columnCount(), 3);
        QCOMPARE(m_view.columnWidth(2), fitted);
        QCOMPARE(m_view.columnWidth(7), 0);
    }
};

QTEST_MAIN(GridHelpersTest)
#include "grid_helpers_test.moc"
