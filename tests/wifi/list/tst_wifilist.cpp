#include "checkableheader.h"
#include "wifilist.h"
#include "wifimodel.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTreeView>
#include <QtTest>

class tst_WifiList : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerWifiMetaTypes();
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
    }
    void modelShape();
    void channels_data();
    void channels();
    void absentNetworksGreyed();
    void knownNetworkChangesOnlyItsLevel();
    void filter_data();
    void filter();
    void headerUntickedNewArriveUnticked();
    void oneEmissionPerUpdate();
    void loadHistorySkipsRepeatedScans();
    void proxyOrder();
    void surveyMenu();
};

static WifiApInfo ap(int id, int rssi, int frequency = 2437, const QString &ssid = QString())
{
    const QString name = ssid.isEmpty() ? QStringLiteral("net%1").arg(id) : ssid;
    return makeWifiApInfo(QByteArray::fromHex("0200000000") + char(id), name.toLocal8Bit(),
                          name.size(), rssi, qint64(frequency) * 1000);
}

void tst_WifiList::modelShape()
{
    WifiList list;
    WifiModel *m = list.model();
    QCOMPARE(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
    QCOMPARE(m->headerData(2, Qt::Horizontal).toString(), QStringLiteral("RSSI [dBm]"));
    QCOMPARE(m->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Channel"));
    QVERIFY(!m->headerData(0, Qt::Horizontal).isValid());
    for (int s = 0; s < WifiModel::ColumnCount; ++s)
        QCOMPARE(m->headerData(s, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), 129);
    QVERIFY(!m->headerData(1, Qt::Vertical).isValid());
    QCOMPARE(list.filterSpinBox()->minimum(), -100);
    QCOMPARE(list.filterSpinBox()->maximum(), -30);
    QCOMPARE(list.filterSpinBox()->value(), -80);
    QVERIFY(!list.filterCheckBox()->isChecked());
    QCOMPARE(list.view()->minimumWidth(), 310);
    QCOMPARE(list.view()->columnWidth(1), 150);
    QCOMPARE(list.proxyModel()->sortColumn(), 2);
    QCOMPARE(list.proxyModel()->sortOrder(), Qt::DescendingOrder);
    m->updateNetworks({ap(1, -50)}, true);
    QCOMPARE(m->columnCount(), 5);
    QCOMPARE(m->index(0, WifiModel::BssidColumn).data().toString(), ap(1, -50).bssid);
    QVERIFY(!m->hasChildren(m->index(0, 0)));
    QCOMPARE(m->index(0, 0).data(Qt::ToolTipRole).toString(), ap(1, -50).bssid);
    QVERIFY(!(m->flags(m->index(0, 1)) & (Qt::ItemIsSelectable | Qt::ItemIsEditable)));
}

void tst_WifiList::channels_data()
{
    QTest::addColumn<int>("mhz");
    QTest::addColumn<int>("channel");
    QTest::newRow("2412") << 2412 << 1;
    QTest::newRow("2472") << 2472 << 13;
    QTest::newRow("2484") << 2484 << 14;
    QTest::newRow("2414") << 2414 << 0;
    QTest::newRow("2400") << 2400 << 0;
}

void tst_WifiList::channels()
{
    QFETCH(int, mhz);
    QTEST(WifiModel::channelNumber(mhz), "channel");
}

void tst_WifiList::absentNetworksGreyed()
{
    WifiList list;
    QSignalSpy draw(&list, &WifiList::newNetworksToDraw);
    list.updateList({ap(1, -50), ap(2, -60)});
    list.updateList({ap(2, -61)});
    const WifiModel *m = list.model();
    QVERIFY(!(m->flags(m->index(0, 1)) & Qt::ItemIsEnabled));
    QVERIFY(m->flags(m->index(0, 0)) & Qt::ItemIsUserCheckable);
    QCOMPARE(m->index(0, 1).data(Qt::ForegroundRole).value<QColor>(), ap(1, 0).color.darker(200));
    QCOMPARE(m->index(1, 1).data(Qt::ForegroundRole).value<QColor>(), ap(2, 0).color);
    const auto drawn = draw.last().at(0).value<WifiScan>();
    QCOMPARE(drawn.size(), 1);
    QCOMPARE(drawn.at(0).bssid, ap(2, 0).bssid);
    QCOMPARE(m->checkedNetworks().size(), 1); // row 0 stays ticked but absent
}

void tst_WifiList::knownNetworkChangesOnlyItsLevel()
{
    WifiModel m;
    m.updateNetworks({ap(1, -50, 2412, QStringLiteral("Old"))}, true);
    const WifiScan r = m.updateNetworks({ap(1, -70, 2462, QStringLiteral("New"))}, true);
    QCOMPARE(m.rowCount(), 1);
    QCOMPARE(m.row(0).ssid, QStringLiteral("Old"));
    QCOMPARE(m.row(0).frequency, 2412);
    QCOMPARE(m.row(0).rssi, -70);
    QCOMPARE(r.size(), 1);
    QCOMPARE(r.at(0).ssid, QStringLiteral("Old"));
}

void tst_WifiList::filter_data()
{
    QTest::addColumn<int>("rssi");
    QTest::addColumn<bool>("checked");
    QTest::newRow("at the threshold") << -80 << true;
    QTest::newRow("one below") << -81 << false;
    QTest::newRow("above") << -40 << true;
}

void tst_WifiList::filter()
{
    QFETCH(int, rssi);
    QFETCH(bool, checked);
    WifiList list;
    WifiModel *m = list.model();
    list.updateList({ap(1, rssi)});
    QVERIFY(m->setData(m->index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
    list.filterCheckBox()->setChecked(true);
    QVERIFY(!list.header()->isCheckboxEnabled());
    QCOMPARE(m->row(0).checkState == Qt::Checked, checked);
    // While the filter decides, ticks by hand are refused.
    QVERIFY(!m->setData(m->index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
    QCOMPARE(m->row(0).checkState == Qt::Checked, checked);
    // Switching the filter off ticks every row, even rows the user unticked.
    list.filterCheckBox()->setChecked(false);
    QCOMPARE(m->row(0).checkState, Qt::Checked);
}

void tst_WifiList::headerUntickedNewArriveUnticked()
{
    WifiList list;
    list.updateList({ap(1, -50), ap(2, -60)});
    QSignalSpy draw(&list, &WifiList::newNetworksToDraw);
    emit list.header()->selectAllToggled(false);
    QCOMPARE(list.header()->state(), Qt::Unchecked);
    QCOMPARE(list.model()->row(0).checkState, Qt::Unchecked);
    QCOMPARE(list.model()->row(1).checkState, Qt::Unchecked);
    QCOMPARE(draw.count(), 1);
    QVERIFY(draw.last().at(0).value<WifiScan>().isEmpty());
    list.updateList({ap(1, -50), ap(3, -55)});
    QCOMPARE(list.model()->row(2).checkState, Qt::Unchecked);
    // One row ticked by hand: the header shows a partial state, and new
    // networks arrive ticked again.
    list.model()->setData(list.model()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    QCOMPARE(list.header()->state(), Qt::PartiallyChecked);
    list.updateList({ap(4, -55)});
    QCOMPARE(list.model()->row(3).checkState, Qt::Checked);
}

void tst_WifiList::oneEmissionPerUpdate()
{
    WifiList list;
    list.filterCheckBox()->setChecked(true);
    QSignalSpy draw(&list, &WifiList::newNetworksToDraw);
    const WifiScan scan{ap(1, -50), ap(2, -90), ap(3, -70), ap(4, -85)};
    list.updateList(scan);
    list.updateList(scan);
    QCOMPARE(draw.count(), 2);
    QCOMPARE(draw.last().at(0).value<WifiScan>().size(), 2);
    draw.clear();
    list.filterSpinBox()->setValue(-60);
    QCOMPARE(draw.count(), 1);
    QCOMPARE(draw.last().at(0).value<WifiScan>().size(), 1);
    QCOMPARE(list.header()->state(), Qt::PartiallyChecked);
}

void tst_WifiList::loadHistorySkipsRepeatedScans()
{
    WifiList list;
    RfSpectrumHistory hist;
    const WifiScan first{ap(1, -50)};
    const WifiScan second{ap(1, -52), ap(2, -60)};
    for (int i = 0; i < 50; ++i)
        hist.samples.append(RfSpectrumSample(i, RfSpectrumScan(1, 0), i < 25 ? first : second));
    QSignalSpy draw(&list, &WifiList::newNetworksToDraw);
    QSignalSpy levels(list.model(), &WifiModel::dataChanged);
    list.loadHistory(hist);
    QCOMPARE(draw.count(), 0);
    QCOMPARE(list.model()->rowCount(), 2);
    QCOMPARE(list.model()->row(0).rssi, -52);
    // Two merges, each announcing its known networks' levels and the look.
    QCOMPARE(levels.count(), 3);
    list.clearList();
    QCOMPARE(list.model()->rowCount(), 0);
}

void tst_WifiList::proxyOrder()
{
    WifiList list;
    list.updateList({ap(1, -70), ap(2, -40), ap(3, -60), ap(4, -30)});
    list.model()->setData(list.model()->index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
    list.updateList({ap(1, -70), ap(2, -40), ap(3, -60)}); // 4 absent
    QStringList order;
    for (int r = 0; r < list.proxyModel()->rowCount(); ++r)
        order << list.proxyModel()->index(r, 1).data().toString();
    // Present first, ticked before unticked, strongest first.
    QCOMPARE(order, QStringList({"net3", "net1", "net2", "net4"}));
}

// The scan menu remembers its choices; the status line shows the survey's,
// and a hidden network is named as such rather than left blank.
void tst_WifiList::surveyMenu()
{
    {
        WifiList list;
        QVERIFY(!list.passiveScanAction()->isChecked());
        QVERIFY(list.passiveScanAction()->toolTip().contains("probe"));
        QSignalSpy passive(&list, &WifiList::passiveScanChanged);
        QSignalSpy chosen(&list, &WifiList::adapterChosen);
        list.passiveScanAction()->trigger();
        list.setAdapters({"wlp2s0", "wlx0013ef"}, "wlp2s0");
        QCOMPARE(list.adapterMenu()->actions().size(), 2);
        QVERIFY(list.adapterMenu()->actions().first()->isChecked());
        list.adapterMenu()->actions().last()->trigger();
        QCOMPARE(passive.takeFirst().first().toBool(), true);
        QCOMPARE(chosen.takeFirst().first().toString(), QStringLiteral("wlx0013ef"));
        list.setSurveyStatus("Scanning through NetworkManager");
        QCOMPARE(list.statusLabel()->text(), QStringLiteral("Scanning through NetworkManager"));
        list.updateList({makeWifiApInfo(QByteArray::fromHex("020000000009"), {}, 0, -60, 2437000)});
        QCOMPARE(list.model()->index(0, 1).data().toString(), QStringLiteral("(hidden network)"));
    }
    WifiList again;
    QVERIFY(again.passiveScanAction()->isChecked());
    QCOMPARE(again.chosenAdapter(), QStringLiteral("wlx0013ef"));
}

QTEST_MAIN(tst_WifiList)
#include "tst_wifilist.moc"
