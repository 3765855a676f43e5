#include "alarmcommand.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The headless alarm command as a user would give it: a small script that
// writes its environment to a file, or one that never ends.
class tst_AlarmCommand : public QObject
{
    Q_OBJECT

private slots:
    void runs_data();
    void runs();
};

void tst_AlarmCommand::runs_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("expected"); //!< lines of the written file, or the exit
    QTest::addColumn<bool>("killed");

    const QString env = QStringLiteral("env | grep ^ORVANEL_ALARM_ | sort > \"$1\"\n");
    QTest::newRow("start") << env << int(AlarmEvent::Start) << QStringLiteral("Stage mask")
                           << QStringList{QStringLiteral("ORVANEL_ALARM_FREQUENCY_MHZ=2441.500"),
                                          QStringLiteral("ORVANEL_ALARM_LEVEL_DBM=-42"),
                                          QStringLiteral("ORVANEL_ALARM_LIMIT=Stage mask"),
                                          QStringLiteral("ORVANEL_ALARM_STATE=start"),
                                          QStringLiteral("ORVANEL_ALARM_TIME=")}
                           << false;
    // A name another tool wrote reaches the command as data, never as words.
    QTest::newRow("end, name with shell text")
        << env << int(AlarmEvent::End) << QStringLiteral("$(touch x); `id` \"q\"")
        << QStringList{QStringLiteral("ORVANEL_ALARM_DURATION_S=12.5"),
                       QStringLiteral("ORVANEL_ALARM_FREQUENCY_MHZ=2441.500"),
                       QStringLiteral("ORVANEL_ALARM_LEVEL_DBM=-42"),
                       QStringLiteral("ORVANEL_ALARM_LIMIT=$(touch x); `id` \"q\""),
                       QStringLiteral("ORVANEL_ALARM_STATE=end"),
                       QStringLiteral("ORVANEL_ALARM_TIME=")}
        << false;
    QTest::newRow("hangs") << QStringLiteral("exec sleep 60\n") << int(AlarmEvent::Start)
                           << QStringLiteral("Stage mask") << QStringList() << true;
    QTest::newRow("fails") << QStringLiteral("exit 3\n") << int(AlarmEvent::Start)
                           << QStringLiteral("Stage mask") << QStringList{QStringLiteral("3")}
                           << false;
}

void tst_AlarmCommand::runs()
{
    QFETCH(QString, script);
    QFETCH(int, state);
    QFETCH(QString, name);
    QFETCH(QStringList, expected);
    QFETCH(bool, killed);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString scriptPath = dir.filePath(QStringLiteral("on alarm.sh"));
    const QString outPath = dir.filePath(QStringLiteral("env.txt"));
    QFile f(scriptPath);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n" + script.toUtf8());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    AlarmCommand command;
    QString error;
    QVERIFY(
        command.setCommandLine(QStringLiteral("\"%1\" \"%2\"").arg(scriptPath, outPath), &error));
    command.setTimeoutMs(killed ? 300 : 5000);
    QSignalSpy finished(&command, &AlarmCommand::finished);

    AlarmEvent event;
    event.state = AlarmEvent::State(state);
    event.name = name;
    event.frequencyMHz = 2441.5;
    event.levelDbm = -42;
    event.timeMs = 1765000000000;
    event.durationMs = 12500;
    QElapsedTimer started;
    started.start();
    command.run(event);
    QVERIFY(started.elapsed() < 1000); // never waits for the command
    QCOMPARE(command.running(), 1);
    QVERIFY(finished.wait(10000));
    QCOMPARE(command.running(), 0);
    QCOMPARE(finished.at(0).at(1).toBool(), killed);
    if (killed)
        return;
    if (expected.size() == 1) {
        QCOMPARE(finished.at(0).at(0).toInt(), expected.first().toInt());
        return;
    }
    QCOMPARE(finished.at(0).at(0).toInt(), 0);
    QFile out(outPath);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QStringList lines =
        QString::fromUtf8(out.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), expected.size());
    const QString time = lines.last();
    lines.last() = QStringLiteral("ORVANEL_ALARM_TIME=");
    QCOMPARE(lines, expected);
    QCOMPARE(QDateTime::fromString(time.mid(19), Qt::ISODate).toMSecsSinceEpoch(), event.timeMs);
}

QTEST_GUILESS_MAIN(tst_AlarmCommand)
#include "tst_alarmcommand.moc"
