// Crash-safe autosave with the real program scanning the emulator over TCP:
// kill -9 it mid-scan, then recover the journal it left as the next start does.
#include "mainwindow.h"

#include "dialogseam.h"
#include "scanjournal.h"
#include "simprocess.h"
#include "tabpage.h"
#include "tnwtabwidget.h"

#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QTest>

class TestAutosave : public QObject
{
    Q_OBJECT
private slots:
    void killedMidScanRecovers()
    {
        const QString app =
            QProcessEnvironment::systemEnvironment().value(QStringLiteral("ORVANEL_APP"));
        if (app.isEmpty())
            QSKIP("ORVANEL_APP not set");
        QTemporaryDir home;
        const QString state = home.filePath(QStringLiteral("state"));
        qputenv("XDG_STATE_HOME", state.toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
        SimProcess sim;
        // The program reaches the emulator over TCP, as a scanner shared by ser2net.
        if (!sim.start({"--rate", "20", "--tcp", "0"}))
            QFAIL(qPrintable(sim.errorText()));
        QTRY_VERIFY_WITH_TIMEOUT(sim.process().canReadLine(), 10000);
        const QString port = QString::fromLatin1(sim.process().readLine()).trimmed();

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_STATE_HOME"), state);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        program.setProcessEnvironment(env);
        program.start(app, {"-port", port});
        QVERIFY(program.waitForStarted(10000));

        const QDir dir(ScanJournal::directory());
        auto journalPath = [&] {
            const QStringList f = dir.entryList({QStringLiteral("*.journal")}, QDir::Files);
            return f.size() == 1 ? dir.filePath(f.first()) : QString();
        };
        // Scan long enough for several batches, then kill it without warning.
        QTRY_VERIFY_WITH_TIMEOUT(ScanJournal::readFile(journalPath()).history.samples.size() >= 100,
                                 60000);
        QTest::qWait(3000);
        const qint64 killedAt = QDateTime::currentMSecsSinceEpoch();
        program.kill();
        QVERIFY(program.waitForFinished(10000));

        const ScanJournal::Contents journal = ScanJournal::readFile(journalPath());
        QVERIFY(journal.valid);
        QVERIFY(!journal.ended);
        const RfSpectrumSampleList &s = journal.history.samples;
        QVERIFY2(s.constLast().timeStamp >= killedAt - 5000,
                 qPrintable(QString::number(killedAt - s.constLast().timeStamp)));
        for (int i = 1; i < s.size(); ++i) // no sweep left out (20 a second)
            QVERIFY2(s[i].timeStamp - s[i - 1].timeStamp < 1000, qPrintable(QString::number(i)));

        // The next start: "Recover the last scan?" Yes opens it as a page.
        QStringList asked;
        const auto previous = DialogSeam::setHandler([&](const DialogSeam::Request &r) {
            asked << r.title;
            return QVariant(int(QMessageBox::Yes));
        });
        MainWindow w(nullptr, false);
        w.offerRecovery();
        DialogSeam::setHandler(previous);
        QCOMPARE(asked, QStringList{QStringLiteral("Recover the last scan?")});
        TnwTabWidget *tabs = w.form()->tabWidget;
        QCOMPARE(tabs->count(), 3);
        const auto *page = qobject_cast<TabPage *>(tabs->widget(2));
        QVERIFY(page);
        QCOMPARE(page->history().samples, s);
        // Discarding the recovered page removes the journal.
        const QString path = journalPath();
        emit tabs->tabCloseRequested(2);
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_MAIN(TestAutosave)
#include "tst_autosave.moc"
