#include "alarmevaluator.h"

#include <QTest>

// Sweeps as the device sends them: 501 bins over 2400-2500 MHz, noise at
// -90 dBm. Each character of a pattern is one sweep: '+' an emitter at
// 2450 MHz (-40 dBm), '-' noise only, '?' no data at all, '<' the emitter
// after the clock was set back an hour.
class tst_AlarmEvaluator : public QObject
{
    Q_OBJECT

private slots:
    void limitHoldAndClear_data();
    void limitHoldAndClear();
    void channelWatch_data();
    void channelWatch();
    void editedLimitsKeepOrEndTheirAlarm();

private:
    static QString run(AlarmEvaluator &evaluator, const QString &pattern, qint64 intervalMs,
                       const QString &name);
};

QString tst_AlarmEvaluator::run(AlarmEvaluator &evaluator, const QString &pattern,
                                qint64 intervalMs, const QString &name)
{
    QVector<qint8> levels(501);
    QVector<AlarmEvent> events;
    QStringList seen;
    qint64 startMs = -1;
    qint64 clockMs = 1765000000000;
    for (int i = 0; i < pattern.size(); ++i) {
        if (pattern.at(i) == QLatin1Char('<'))
            clockMs -= 3600 * 1000; // the clock is set back an hour, the emitter stays

        levels.fill(pattern.at(i) == QLatin1Char('?') ? AlarmSweep::NoData : -90);
        if (pattern.at(i) == QLatin1Char('+') || pattern.at(i) == QLatin1Char('<'))
            levels[250] = -40;
        events.clear();
        const qint64 now = clockMs + i * intervalMs;
        evaluator.evaluate({LimitBand::Band2400, 2400, 0.2, levels.constData(), 501, now}, events);
        for (const AlarmEvent &e : events) {
            // Whatever raised it, the worst point is the emitter.
            if (e.name != name || e.frequencyMHz != 2450 || e.levelDbm != -40)
                return QStringLiteral("wrong facts %1 %2 %3")
                    .arg(e.name)
                    .arg(e.frequencyMHz)
                    .arg(e.levelDbm);
            if (e.state == AlarmEvent::End && startMs >= 0 && e.durationMs != e.timeMs - startMs)
                return QStringLiteral("wrong duration %1").arg(e.durationMs);
            startMs = e.timeMs;
            seen << (e.state == AlarmEvent::Start ? QStringLiteral("S%1") : QStringLiteral("E%1"))
                        .arg(e.timeMs - 1765000000000);
        }
    }
    return seen.join(QLatin1Char(' '));
}

void tst_AlarmEvaluator::limitHoldAndClear_data()
{
    QTest::addColumn<QString>("pattern"); // one sweep every 250 ms
    QTest::addColumn<int>("maxSweeps");   // 0: the current trace
    QTest::addColumn<double>("lineDbm");
    QTest::addColumn<double>("lineToMHz");
    QTest::addColumn<double>("holdSeconds");
    QTest::addColumn<double>("clearSeconds");
    QTest::addColumn<QString>("events");

    QTest::newRow("above for less than the hold")
        << "++++----" << 0 << -50.0 << 2500.0 << 1.0 << 1.0 << "";
    QTest::newRow("above for exactly the hold, clears after the clear time")
        << "+++++---------" << 0 << -50.0 << 2500.0 << 1.0 << 1.0 << "S1000 E2250";
    QTest::newRow("under for less than the clear time stays on")
        << "+++++---+" << 0 << -50.0 << 2500.0 << 1.0 << 1.0 << "S1000";
    QTest::newRow("flapping around the line raises nothing")
        << "+-+-+-+-+-+-" << 0 << -50.0 << 2500.0 << 1.0 << 1.0 << "";
    QTest::newRow("flapping while on does not clear")
        << "+++++-+-+-+-+-+-------" << 0 << -50.0 << 2500.0 << 1.0 << 1.0 << "S1000 E4750";
    QTest::newRow("no hold, no clear time")
        << "+-+" << 0 << -50.0 << 2500.0 << 0.0 << 0.0 << "S0 E250 S500";
    QTest::newRow("a spike on the current trace")
        << "+------" << 0 << -50.0 << 2500.0 << 0.75 << 0.0 << "";
    QTest::newRow("a spike held by the max of 4")
        << "+------" << 4 << -50.0 << 2500.0 << 0.75 << 0.0 << "S750 E1000";
    QTest::newRow("a spike held by the max of 3")
        << "+------" << 3 << -50.0 << 2500.0 << 0.75 << 0.0 << "";
    QTest::newRow("clock set back while above")
        << "++<++++" << 0 << -50.0 << 2500.0 << 1.0 << 1.0 << "S-3598500";
    QTest::newRow("emitter beyond the line's last point")
        << "+++++" << 0 << -50.0 << 2440.0 << 0.0 << 0.0 << "";
    QTest::newRow("no data under a line below any level")
        << "????" << 0 << -150.0 << 2500.0 << 0.0 << 0.0 << "";
}

void tst_AlarmEvaluator::limitHoldAndClear()
{
    QFETCH(QString, pattern);
    QFETCH(int, maxSweeps);
    QFETCH(double, lineDbm);
    QFETCH(double, lineToMHz);
    QFETCH(double, holdSeconds);
    QFETCH(double, clearSeconds);
    QFETCH(QString, events);

    LimitLine line;
    line.name = QStringLiteral("Stage mask");
    line.points = {{2400, lineDbm}, {lineToMHz, lineDbm}};
    line.trace = maxSweeps ? LimitTrace::Max : LimitTrace::Current;
    line.maxSweeps = maxSweeps;
    line.holdSeconds = holdSeconds;
    line.clearSeconds = clearSeconds;
    LimitLine other = line; // on the other band: must never see these sweeps
    other.band = LimitBand::Band900;
    other.points = {{902, -150}, {928, -150}};
    AlarmEvaluator evaluator;
    evaluator.setLimits({other, line});
    QCOMPARE(run(evaluator, pattern, 250, line.name), events);
}

void tst_AlarmEvaluator::channelWatch_data()
{
    QTest::addColumn<QString>("pattern"); // one sweep a second
    QTest::addColumn<double>("lowMHz");
    QTest::addColumn<double>("dutyPercent");
    QTest::addColumn<QString>("events");

    const QString alternating = QString(QStringLiteral("+-")).repeated(60);
    QTest::newRow("busy half the time, not more than 50 %") << alternating << 2440.0 << 50.0 << "";
    QTest::newRow("busy half the time, more than 40 %") << alternating << 2440.0 << 40.0 << "S2000";
    // The minute slides past the busy half minute: at 74 s 15 of 60 sweeps.
    QTest::newRow("busy, then quiet for a minute")
        << QString(30, '+') + QString(90, '-') << 2440.0 << 25.0 << "S2000 E76000";
    QTest::newRow("emitter outside the watched range") << QString(30, '+') << 2451.0 << 10.0 << "";
    // Without starting the minute over, the hour-old sweeps would keep it busy.
    QTest::newRow("clock set back after a busy spell")
        << QString(30, '+') + "<" + QString(10, '-') << 2440.0 << 25.0 << "S2000 E-3565000";
}

void tst_AlarmEvaluator::channelWatch()
{
    QFETCH(QString, pattern);
    QFETCH(double, lowMHz);
    QFETCH(double, dutyPercent);
    QFETCH(QString, events);

    const ChannelWatch watch{QStringLiteral("Wi-Fi 8"),
                             LimitBand::Band2400,
                             lowMHz,
                             lowMHz + 20,
                             -70,
                             dutyPercent,
                             2,
                             2,
                             true};
    AlarmEvaluator evaluator;
    evaluator.setChannelWatches({watch});
    QCOMPARE(run(evaluator, pattern, 1000, watch.label), events);
}

void tst_AlarmEvaluator::editedLimitsKeepOrEndTheirAlarm()
{
    LimitLine line;
    line.name = QStringLiteral("Stage mask");
    line.points = {{2400, -50}, {2500, -50}};
    line.holdSeconds = line.clearSeconds = 0;
    AlarmEvaluator evaluator;
    evaluator.setLimits({line});
    QCOMPARE(run(evaluator, QStringLiteral("+"), 250, line.name), QStringLiteral("S0"));
    // Raising the line above the emitter ends the alarm that is on.
    line.points = {{2400, -30}, {2500, -30}};
    evaluator.setLimits({line});
    QCOMPARE(run(evaluator, QStringLiteral("+"), 250, line.name), QStringLiteral("E0"));
    // A disabled limit's alarm ends when the set changes, not never.
    line.points = {{2400, -50}, {2500, -50}};
    evaluator.setLimits({line});
    QCOMPARE(run(evaluator, QStringLiteral("+"), 250, line.name), QStringLiteral("S0"));
    line.enabled = false;
    QVector<AlarmEvent> ended;
    evaluator.setLimits({line}, &ended);
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.first().state, AlarmEvent::End);
    QVERIFY(!evaluator.isLimitActive(0));
}

QTEST_GUILESS_MAIN(tst_AlarmEvaluator)
#include "tst_alarmevaluator.moc"
