#include "debuglogview.h"
#include "debugwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

// The debug window alone: which widget sends which request, its log and the
// send buttons' states. The main window's wiring is tested with the emulator.
class tst_DebugWindow : public QObject
{
    Q_OBJECT
private slots:
    void widgetToSignal_data();
    void widgetToSignal();
    void portChoice();
    void logLinesAndBound_data();
    void logLinesAndBound();
    void readingBackKeepsLinesInSight();
    void sendButtonsFollowSession();
};

void tst_DebugWindow::widgetToSignal_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("field"); //!< set to `value` first, when named
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QVariantList>("arguments");

    auto row = [](const char *name, const char *widget, const char *signal,
                  const QVariantList &args = {}, const char *field = "", double value = 0) {
        QTest::newRow(name) << widget << field << value
                            << QByteArray(QByteArray::number(QSIGNAL_CODE) + signal) << args;
    };
    row("connect", "pbConnect", "connect()");
    row("disconnect", "pbDisconnect", "disconnect()");
    row("dev ver", "pbGetDevVer", "getDevVerClicked()");
    row("fw ver", "pbGetFwVer", "getFwVerClicked()");
    row("900 params", "pbGet900RfParams", "getRfParamsClicked(RfsaSerialComms::FBand)",
        {QVariant::fromValue(RfsaSerialComms::FBand_900MHz)});
    row("2.4 params", "pbGet24RfParams", "getRfParamsClicked(RfsaSerialComms::FBand)",
        {QVariant::fromValue(RfsaSerialComms::FBand_2400MHz)});
    row("last error", "pbGetLastError", "getLastErrorClicked()");
    row("sync", "pbSync", "syncClicked()");
    row("host bl", "pbHostBL", "hostBLClicked()");
    row("band 900", "rbBand900", "setFBand(RfsaSerialComms::SetFBand)",
        {QVariant::fromValue(RfsaSerialComms::SetFBand_900MHz)});
    row("band 2.4", "rbFBand24", "setFBand(RfsaSerialComms::SetFBand)",
        {QVariant::fromValue(RfsaSerialComms::SetFBand_2400MHz)});
    row("f start", "pbSetFStart", "setFStart(double)", {2412.5}, "dsbSetFStart", 2412.5);
    row("f stop clamps", "pbSetFStop", "setFStop(double)", {2500.0}, "dsbSetFStop", 3000);
    row("span index", "pbSetSpanIndex", "setSpanIndex(uchar)", {QVariant::fromValue(uchar(7))},
        "sbSetSpanIndex", 7);
    row("f step", "pbSetFStep", "setFStep(double)", {199.99}, "dsbSetFStep", 199.99);
    row("rbw 99", "pbSetRbw", "setRBW(ushort)", {QVariant::fromValue(ushort(99))}, "sbSetRbw", 99);
    row("rbw limit", "pbSetRbw", "setRBW(ushort)", {QVariant::fromValue(ushort(99))}, "sbSetRbw",
        150);
    row("step count", "pbSetStepCount", "setStepCount(ushort)", {QVariant::fromValue(ushort(99))},
        "sbSetStepCount", 1000);
    row("span", "pbSeSpan", "setSpan(ushort)", {QVariant::fromValue(ushort(100))}, "sbSetSpan",
        100);
    row("calibration", "pbGetCalibration", "getCalibration()");
}

void tst_DebugWindow::widgetToSignal()
{
    QFETCH(QString, widget);
    QFETCH(QString, field);
    QFETCH(double, value);
    QFETCH(QByteArray, signal);
    QFETCH(QVariantList, arguments);

    DebugWindow w;
    w.show();
    if (!field.isEmpty()) {
        auto *f = w.findChild<QAbstractSpinBox *>(field);
        QVERIFY(f);
        if (auto *d = qobject_cast<QDoubleSpinBox *>(f))
            d->setValue(value);
        else
            qobject_cast<QSpinBox *>(f)->setValue(int(value));
    }
    QSignalSpy spy(&w, signal.constData());
    QVERIFY(spy.isValid());
    auto *button = w.findChild<QAbstractButton *>(widget);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0), arguments);
    if (qobject_cast<QRadioButton *>(button)) {
        // Clicking the checked band again sends it again.
        QVERIFY(button->isChecked());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1), arguments);
    }
}

void tst_DebugWindow::portChoice()
{
    DebugWindow w({QStringLiteral("/dev/pts/42")});
    QSignalSpy spy(&w, &DebugWindow::serialPortChanged);
    QComboBox *cb = w.form()->cbSerialPort;
    QCOMPARE(cb->currentIndex(), -1);
    const int pty = cb->findText(QStringLiteral("/dev/pts/42"));
    QVERIFY(pty >= 0);
    w.form()->pbGetDevVer->click();
    QCOMPARE(spy.count(), 0); // nothing names a port before one is chosen
    cb->setFocus();
    QTest::keyClick(cb, Qt::Key_End); // the pty was added after the listed ports
    QCOMPARE(cb->currentIndex(), pty);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("/dev/pts/42"));
}

void tst_DebugWindow::logLinesAndBound_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("flushEvery"); //!< lines between two flushes
    QTest::newRow("fills") << 4000 << 1000;
    QTest::newRow("wraps in small batches") << 3 * DebugWindow::maxLogLines + 7 << 1300;
    QTest::newRow("batch beyond the limit") << 2 * DebugWindow::maxLogLines + 1 << 0;
    QTest::newRow("queued beyond twice the limit") << 5 * DebugWindow::maxLogLines + 3 << 0;
}

void tst_DebugWindow::logLinesAndBound()
{
    QFETCH(int, lines);
    QFETCH(int, flushEvery);
    DebugWindow w;
    w.show();
    const DebugLogModel *model = w.logModel();
    DebugLogView *view = w.form()->logText;
    w.log(QStringLiteral("<< 2a0b01"));
    QCOMPARE(model->rowCount(), 0); // batched
    QTRY_COMPARE(model->rowCount(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d << 2a0b01$"))
                 .match(model->line(0))
                 .hasMatch(),
             qPrintable(model->line(0)));

    for (int i = 0; i < lines; ++i) {
        w.log(QString::number(i));
        if (flushEvery && i % flushEvery == 0)
            w.flushLog();
    }
    w.flushLog();
    const int kept = qMin(lines + 1, int(DebugWindow::maxLogLines));
    QCOMPARE(model->rowCount(), kept);
    for (int row : {1, kept / 2, kept - 1}) // the newest lines, in order
        QVERIFY2(model->line(row).endsWith(QLatin1Char(' ') + QString::number(lines - kept + row)),
                 qPrintable(model->line(row)));
    // Following the newest line; the selection copies whole lines in order.
    QTRY_COMPARE(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
    view->selectionModel()->select(model->index(kept - 1), QItemSelectionModel::Select);
    view->selectionModel()->select(model->index(kept - 2), QItemSelectionModel::Select);
    view->setFocus();
    QTest::keySequence(view, QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(),
             model->line(kept - 2) + '\n' + model->line(kept - 1));

    w.form()->pbClearLog->click();
    QCOMPARE(model->rowCount(), 0);
}

void tst_DebugWindow::readingBackKeepsLinesInSight()
{
    DebugWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    DebugLogView *view = w.form()->logText;
    auto batch = [&w](int from, int count) {
        for (int i = from; i < from + count; ++i)
            w.log(QString::number(i));
        w.flushLog();
    };
    batch(0, DebugWindow::maxLogLines);
    QTRY_VERIFY(view->verticalScrollBar()->maximum() > 0);
    view->verticalScrollBar()->setValue(100);
    const QString topLine = view->indexAt(QPoint(2, 2)).data().toString();
    QVERIFY(topLine.endsWith(QStringLiteral(" 100")));
    batch(DebugWindow::maxLogLines, 40); // drops the oldest 40
    QTRY_COMPARE(view->indexAt(QPoint(2, 2)).data().toString(), topLine);
}

void tst_DebugWindow::sendButtonsFollowSession()
{
    DebugWindow w;
    const QList<QAbstractButton *> buttons = w.findChildren<QAbstractButton *>();
    auto enabled = [&](const QString &name) {
        return w.findChild<QAbstractButton *>(name)->isEnabled();
    };
    QVERIFY(buttons.size() > 18);
    for (void (DebugWindow::*lock)(bool) :
         {&DebugWindow::setBusy, &DebugWindow::setScanning, &DebugWindow::setUpdateLocked}) {
        (w.*lock)(true);
        for (QAbstractButton *b : buttons)
            QCOMPARE(b->isEnabled(), b->objectName() == QLatin1String("pbClearLog"));
        (w.*lock)(false);
        QVERIFY(enabled(QStringLiteral("pbGetDevVer")));
    }
    w.setScanning(true);
    w.setUpdateLocked(true);
    w.setScanning(false);
    QVERIFY(!enabled(QStringLiteral("pbSetRbw"))); // still locked for the update
}

QTEST_MAIN(tst_DebugWindow)
#include "tst_debugwindow.moc"
