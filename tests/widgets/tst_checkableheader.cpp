#include "checkableheader.h"

#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

class tst_CheckableHeader : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void clickTogglesTheBox_data();
    void clickTogglesTheBox();
    void disabledBoxIgnoresClicks();
    void clicksElsewhereGoToTheHeader();
    void paintsEveryState();

private:
    QStandardItemModel *m_model = nullptr;
    QTableView *m_view = nullptr;
    CheckableHeader *m_header = nullptr;
};

void tst_CheckableHeader::init()
{
    m_model = new QStandardItemModel(3, 3);
    m_view = new QTableView;
    m_header = new CheckableHeader(Qt::Horizontal, m_view);
    m_view->setHorizontalHeader(m_header);
    m_header->setSectionsClickable(true);
    m_view->setModel(m_model);
    m_view->setSortingEnabled(true);
    m_view->resize(400, 200);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view));
}

void tst_CheckableHeader::cleanup()
{
    delete m_view;
    delete m_model;
}

void tst_CheckableHeader::clickTogglesTheBox_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<bool>("signalled");
    QTest::newRow("partial to checked") << int(Qt::PartiallyChecked) << int(Qt::Checked) << true;
    QTest::newRow("checked to unchecked") << int(Qt::Checked) << int(Qt::Unchecked) << false;
    QTest::newRow("unchecked to checked") << int(Qt::Unchecked) << int(Qt::Checked) << true;
}

void tst_CheckableHeader::clickTogglesTheBox()
{
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(bool, signalled);
    QCOMPARE(m_header->state(), Qt::Checked); // initial state
    m_header->setState(Qt::CheckState(before));
    QSignalSpy spy(m_header, &CheckableHeader::selectAllToggled);
    QVERIFY(spy.isValid());
    QTest::mouseClick(m_header->viewport(), Qt::LeftButton, {}, QPoint(12, 12));
    QCOMPARE(int(m_header->state()), after);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.first().first().toBool(), signalled);
}

void tst_CheckableHeader::disabledBoxIgnoresClicks()
{
    m_header->setState(Qt::PartiallyChecked);
    m_header->setCheckboxDisable(true);
    QVERIFY(!m_header->isCheckboxEnabled());
    QSignalSpy spy(m_header, &CheckableHeader::selectAllToggled);
    QTest::mouseClick(m_header->viewport(), Qt::LeftButton, {}, QPoint(12, 12));
    QCOMPARE(m_header->state(), Qt::PartiallyChecked);
    QCOMPARE(spy.size(), 0);
    m_header->setCheckboxDisable(false);
    QTest::mouseClick(m_header->viewport(), Qt::LeftButton, {}, QPoint(12, 12));
    QCOMPARE(m_header->state(), Qt::Checked);
}

void tst_CheckableHeader::clicksElsewhereGoToTheHeader()
{
    QSignalSpy spy(m_header, &CheckableHeader::selectAllToggled);
    QSignalSpy sectionSpy(m_header, &QHeaderView::sectionPressed);
    const int x = m_header->sectionViewportPosition(1) + m_header->sectionSize(1) / 2;
    QTest::mouseClick(m_header->viewport(), Qt::LeftButton, {}, QPoint(x, 10));
    QCOMPARE(spy.size(), 0);
    QCOMPARE(m_header->state(), Qt::Checked);
    QCOMPARE(sectionSpy.size(), 1);
    QCOMPARE(sectionSpy.first().first().toInt(), 1);
}

void tst_CheckableHeader::paintsEveryState()
{
    for (Qt::CheckState state : {Qt::Unchecked, Qt::PartiallyChecked, Qt::Checked}) {
        for (bool disabled : {false, true}) {
            m_header->setState(state);
            m_header->setCheckboxDisable(disabled);
            const QImage image = m_header->viewport()->grab().toImage();
            QVERIFY(!image.isNull());
        }
    }
    // The box is drawn over section 0: its pixels differ between states.
    m_header->setCheckboxDisable(false);
    m_header->setState(Qt::Unchecked);
    const QImage off = m_header->viewport()->grab(CheckableHeader::checkboxRect()).toImage();
    m_header->setState(Qt::Checked);
    const QImage on = m_header->viewport()->grab(CheckableHeader::checkboxRect()).toImage();
    QVERIFY(off != on);
}

QTEST_MAIN(tst_CheckableHeader)
#include "tst_checkableheader.moc"
