#include "kivoiddetails.h"
#include "kivoidpanel.h"
#include "kivoidtableview.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

// The KiVo ID panel: model, hover and selection reports, details, and what a
// band change does to them. Pointer moves are sent as real events.
class tst_KivoIdPanel : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void model();
    void details_data();
    void details();
    void hoverOntoHeader_data();
    void hoverOntoHeader();
    void emptyCellAndLeaving();
    void bandChange();

private:
    QModelIndex cell(int row, int column) const { return m_panel->model()->index(row, column); }
    void moveOver(const QModelIndex &index) { move(m_panel->view()->viewport(), index); }
    void moveOverHeader() { move(m_panel->view()->horizontalHeader()->viewport(), {}); }
    void move(QWidget *target, const QModelIndex &index)
    {
        const QPoint at =
            index.isValid() ? m_panel->view()->visualRect(index).center() : QPoint(5, 5);
        QMouseEvent move(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
    }

    KivoIdPanel *m_panel = nullptr;
    QSignalSpy *m_selected = nullptr;
    QSignalSpy *m_deselected = nullptr;
};

void tst_KivoIdPanel::init()
{
    m_panel = new KivoIdPanel;
    m_panel->resize(400, 500);
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel));
    m_selected = new QSignalSpy(m_panel, &KivoIdPanel::kivoIdSelected);
    m_deselected = new QSignalSpy(m_panel, &KivoIdPanel::kivoIdDeselected);
    QVERIFY(m_selected->isValid() && m_deselected->isValid());
}

void tst_KivoIdPanel::cleanup()
{
    delete m_selected;
    delete m_deselected;
    delete m_panel;
}

void tst_KivoIdPanel::model()
{
    KivoIdModel *model = m_panel->model();
    QCOMPARE(model->rowCount(), 6);
    QCOMPARE(model->data(cell(2, 2)), QVariant(24310));
    QCOMPARE(model->data(cell(2, 2), Qt::TextAlignmentRole), QVariant(132));
    QVERIFY(!model->data(cell(3, 1)).isValid()); // "Mid", 2 universes
    QCOMPARE(model->headerData(2, Qt::Horizontal), QVariant(5));
    QCOMPARE(model->headerData(5, Qt::Vertical), QVariant(QStringLiteral("Max")));

    // An index taken in the 6-row grid and read after the switch to 5 rows.
    const QModelIndex stale = cell(5, 0);
    model->setBand(KivoIdModel::Band900);
    QCOMPARE(model->rowCount(), 5);
    QVERIFY(!model->data(stale).isValid());
    QCOMPARE(model->kivoId(stale), 0);
    QCOMPARE(model->headerData(2, Qt::Horizontal), QVariant(4));
}

void tst_KivoIdPanel::details_data()
{
    QTest::addColumn<int>("band");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("texts"); // ID, universes, range, type, indoor, outdoor
    QTest::newRow("9110")
        << int(KivoIdModel::Band900) << 2 << 0
        << QStringList{"9110",           "1", "902.01 - 910.29 MHz", "Low", "300 ft / 100 m",
                       "2000 ft / 600 m"};
    QTest::newRow("24310")
        << int(KivoIdModel::Band2400) << 2 << 2
        << QStringList{"24310",          "5", "2400.37 - 2455.72 MHz", "Low", "100 ft / 30 m",
                       "1000 ft / 300 m"};
}

void tst_KivoIdPanel::details()
{
    QFETCH(int, band);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QStringList, texts);
    m_panel->setBand(KivoIdModel::Band(band));
    moveOver(cell(row, column));
    KivoIdDetails *d = m_panel->details();
    QVERIFY(d->isVisible());
    const QStringList shown{d->kivoIdValue()->text(),         d->universesValue()->text(),
                            d->frequencyRangeValue()->text(), d->typeValue()->text(),
                            d->indoorRangeValue()->text(),    d->outdoorRangeValue()->text()};
    QCOMPARE(shown, texts);
    QCOMPARE(m_selected->last().at(0).toInt(), texts.first().toInt());
}

void tst_KivoIdPanel::hoverOntoHeader_data()
{
    QTest::addColumn<bool>("selectFirst");
    QTest::newRow("from a selected cell") << true;
    QTest::newRow("from an unselected cell") << false;
}

void tst_KivoIdPanel::hoverOntoHeader()
{
    QFETCH(bool, selectFirst);
    const QModelIndex low = cell(2, 0); // 24110
    if (selectFirst) {
        m_panel->view()->selectionModel()->select(low, QItemSelectionModel::Select);
        moveOver(cell(0, 0)); // 24150, then onto the selected cell
    }
    moveOver(low);
    QCOMPARE(m_selected->last().at(0).toInt(), 24110);
    m_deselected->clear();
    moveOverHeader();
    QCOMPARE(m_selected->last().at(0).toInt(), 0);
    QCOMPARE(m_deselected->count(), selectFirst ? 0 : 1);
    QCOMPARE(m_panel->details()->isVisible(), selectFirst);
    if (selectFirst)
        QCOMPARE(m_panel->details()->kivoIdValue()->text(), QStringLiteral("24110"));
    else
        QCOMPARE(m_deselected->last().at(0).toInt(), 24110);
    QCOMPARE(m_panel->shownKivoIds(), selectFirst ? QList<int>{24110} : QList<int>{});
}

void tst_KivoIdPanel::emptyCellAndLeaving()
{
    m_panel->view()->selectionModel()->select(cell(3, 1), QItemSelectionModel::Select);
    QCOMPARE(m_selected->count(), 1);
    QCOMPARE(m_selected->last().at(0).toInt(), 0);
    moveOver(cell(1, 1));
    QCOMPARE(m_panel->shownKivoIds(), QList<int>{24200});
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(m_panel->view(), &leave);
    QCOMPARE(m_deselected->last().at(0).toInt(), 24200);
    QVERIFY(m_panel->shownKivoIds().isEmpty());
    // No details of "ID 0" when only an empty cell is selected.
    QVERIFY(m_panel->details()->isHidden());
}

void tst_KivoIdPanel::bandChange()
{
    QItemSelectionModel *selection = m_panel->view()->selectionModel();
    selection->select(cell(2, 0), QItemSelectionModel::Select); // 24110
    selection->select(cell(5, 2), QItemSelectionModel::Select); // 24340
    moveOver(cell(4, 1));                                       // 24230 under the pointer
    QSignalSpy reset(m_panel->model(), &QAbstractItemModel::modelReset);

    m_panel->setBand(KivoIdModel::Band2400); // the current band: nothing changes
    QCOMPARE(reset.count(), 0);
    QCOMPARE(selection->selectedIndexes().size(), 2);

    // Only the hover goes; the selection stays with its band and its plots.
    m_deselected->clear();
    m_panel->setBand(KivoIdModel::Band900);
    QCOMPARE(reset.count(), 1);
    QVERIFY(selection->selectedIndexes().isEmpty());
    QCOMPARE(m_deselected->size(), 1);
    QCOMPARE(m_deselected->first().at(0).toInt(), 24230);
    QCOMPARE(m_panel->shownKivoIds(), (QList<int>{24110, 24340}));

    // The old hover was kept as an ID: the 900 MHz cell under it is new.
    moveOver(cell(4, 1));
    QCOMPARE(m_selected->last().at(0).toInt(), 9230);
    selection->select(cell(2, 0), QItemSelectionModel::Select); // 9110

    m_panel->setBand(KivoIdModel::Band2400);
    QCOMPARE(m_panel->selectedKivoIds(), (QList<int>{24110, 24340}));
    QCOMPARE(m_panel->bandSelection(KivoIdModel::Band900), QList<int>{9110});

    m_deselected->clear();
    m_panel->findChild<QPushButton *>("pbClearSelection")->click();
    QVERIFY(m_panel->selectedKivoIds().isEmpty());
    QCOMPARE(m_deselected->size(), 2);
    QCOMPARE(m_panel->shownKivoIds(), QList<int>{9110});
}

QTEST_MAIN(tst_KivoIdPanel)
#include "tst_kivoidpanel.moc"
