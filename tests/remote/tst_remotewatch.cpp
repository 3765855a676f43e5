// Scanners elsewhere in the window: what a remote page takes, and a node as
// users run it (emulator, orvanel-capture, a real broker) opened through
// "Watch Remote Scanners", through a broker restart and the node's death.
#include "alarmcontroller.h"
#include "alarmsdock.h"
#include "brokerprocess.h"
#include "mainwindow.h"
#include "recordingio.h"
#include "remotecontroller.h"
#include "remotefeed.h"
#include "remotescannersdialog.h"
#include "simprocess.h"
#include "tabpage.h"
#include "tnwtabwidget.h"
#include "venuesubscriber.h"
#include "windowtesthome.h"

#include <QAction>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

class tst_RemoteWatch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void feed_data();
    void feed();
    void watchNode();
    void mqtts_data();
    void mqtts();

private:
    QTemporaryDir m_home;
    QList<DialogSeam::Request> m_asked;
    QVariantList m_answers;
};

void tst_RemoteWatch::initTestCase()
{
    QVERIFY(m_home.isValid());
    useWindowTestHome(m_home.path(), QStringLiteral("OrvanelRemoteTest"));
    qputenv("XDG_STATE_HOME", (m_home.path() + "/state").toLocal8Bit());
    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();
    answerDialogsFromScript(&m_asked, &m_answers);
}

// Sweeps offered one after the other to a 2.4 GHz page (2400..2500 MHz):
// what it takes, refuses, or takes after padding a silence.
void tst_RemoteWatch::feed_data()
{
    QTest::addColumn<QVector<qint64>>("times");
    QTest::addColumn<QVector<int>>("points");
    QTest::addColumn<QVector<int>>("bands");
    QTest::addColumn<QString>("verdicts"); // T take, G after a gap, R refuse
    const QVector<int> grid(6, 501);
    const QVector<int> b24(6, 1);
    QTest::newRow("steady with jitter")
        << QVector<qint64>{1000, 1050, 1110, 1150, 1200, 1260} << grid << b24 << "TTTTTT";
    QTest::newRow("silence of 2 s")
        << QVector<qint64>{1000, 1050, 1100, 3100, 3150, 3200} << grid << b24 << "TTTGTT";
    QTest::newRow("out of order and repeated")
        << QVector<qint64>{1000, 1050, 1040, 1050, 1100, 1150} << grid << b24 << "TTRRTT";
    QTest::newRow("other plan") << QVector<qint64>{1000, 1050, 1100, 1150, 1200, 1250}
                                << QVector<int>{501, 252, 1001, 500, 501, 501} << b24 << "TRRRTT";
    QTest::newRow("900 MHz sweep") << QVector<qint64>{1000, 1050, 1100, 1150, 1200, 1250} << grid
                                   << QVector<int>{1, 0, 1, 1, 1, 1} << "TRTTTT";
}

void tst_RemoteWatch::feed()
{
    QFETCH(QVector<qint64>, times);
    QFETCH(QVector<int>, points);
    QFETCH(QVector<int>, bands);
    QFETCH(QString, verdicts);
    const bool page900 = bands.first() == 0;
    RemoteFeed feed(page900 ? QStringLiteral("900") : QStringLiteral("2400"), page900 ? 902 : 2400,
                    page900 ? 928 : 2500);
    QString got;
    for (int i = 0; i < times.size(); ++i) {
        SweepPayload s;
        s.band = SweepPayload::Band(bands.at(i));
        s.firstHz = page900 ? 902000000u : 2400000000u;
        s.stepHz = page900 ? 103251u : quint32(100e6 / (points.at(i) - 1));
        s.timeStamp = times.at(i);
        s.levels.fill(-90, points.at(i));
        const RemoteFeed::Verdict v = feed.offer(s);
        got += v == RemoteFeed::Verdict::Take           ? QLatin1Char('T')
               : v == RemoteFeed::Verdict::TakeAfterGap ? QLatin1Char('G')
                                                        : QLatin1Char('R');
    }
    QCOMPARE(got, verdicts);
}

void tst_RemoteWatch::watchNode()
{
    const QString exe = qEnvironmentVariable("ORVANEL_CAPTURE");
    if (exe.isEmpty() || SimProcess::executable().isEmpty())
        QSKIP("ORVANEL_CAPTURE or ORVANEL_SIM not set");
    BrokerProcess broker;
    if (!broker.start())
        QSKIP(qPrintable(broker.errorText()));
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--rate"), QStringLiteral("20")}),
             qPrintable(sim.errorText()));
    QProcess node;
    node.setProgram(exe);
    node.setArguments({"--port", sim.ptyPath(), "--publish", broker.url(), "--node", "north"});
    node.start();
    QVERIFY(node.waitForStarted(10000));

    // What any other tool subscribed to the node gets.
    MqttSettings settings;
    QString error;
    QVERIFY(MqttSettings::parseUrl(broker.url(), &settings, &error));
    VenueSubscriber plain(settings);
    QHash<qint64, QVector<qint8>> published;
    connect(&plain, &VenueSubscriber::sweepReceived,
            [&](const QString &, const SweepPayload &s, qint64) {
                published.insert(s.timeStamp, s.levels);
            });
    QVERIFY2(plain.start(&error), qPrintable(error));

    QSettings().clear();
    MainWindow w(nullptr, false);
    w.show();
    // A line under anything the node measures: its page alarms at once.
    LimitLine floor;
    floor.name = QStringLiteral("Floor");
    floor.points = {{2400, -125}, {2500, -125}};
    floor.holdSeconds = floor.clearSeconds = 0;
    w.alarmController()->setLimits({floor});
    RemoteController *remote = w.remoteController();
    remote->watchAction()->trigger();
    RemoteScannersDialog *dialog = remote->dialog();
    QVERIFY(dialog);
    dialog->urlEdit()->setText(broker.url());
    QVERIFY(dialog->listNodes());
    QTRY_COMPARE_WITH_TIMEOUT(dialog->nodeList()->topLevelItemCount(), 1, 20000);
    QTreeWidgetItem *item = dialog->nodeList()->topLevelItem(0);
    QTRY_COMPARE_WITH_TIMEOUT(item->text(2), QStringLiteral("scanning"), 20000);
    QCOMPARE(item->text(0), QStringLiteral("north"));
    QCOMPARE(item->text(1), QStringLiteral("2.4 GHz"));
    QVERIFY(dialog->stateLabel()->text().startsWith(QStringLiteral("Connected to")));
    item->setCheckState(0, Qt::Checked);
    dialog->accept();

    QCOMPARE(remote->pages().size(), 1);
    TabPage *page = remote->pages().first();
    TnwTabWidget *tabs = w.form()->tabWidget;
    QCOMPARE(tabs->currentWidget(), page);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("north"));
    QTRY_VERIFY_WITH_TIMEOUT(page->bandHistory().sampleCount() >= 20, 20000);
    QTRY_VERIFY(remote->statusLabel()->text().startsWith(QStringLiteral("north: delay ")));

    // The broker goes away for two seconds: both sides come back, and the
    // page shows the silence as a stretch without data.
    broker.stop();
    const qint64 gapFrom = QDateTime::currentMSecsSinceEpoch();
    QTest::qWait(2000);
    QVERIFY2(broker.start(), qPrintable(broker.errorText()));
    const int before = page->bandHistory().sampleCount();
    QTRY_VERIFY_WITH_TIMEOUT(page->bandHistory().sampleCount() >= before + 20, 20000);
    int padded = 0;
    int received = 0;
    int matched = 0;
    for (const RfSpectrumSample &s : page->bandHistory().samples()) {
        if (s.spectrum == RfSpectrumScan(501, -128)) {
            padded += s.timeStamp > gapFrom;
            continue;
        }
        ++received;
        // Byte for byte what the node published (the plain subscriber may
        // have come back a retry later than the page).
        const auto it = published.constFind(s.timeStamp);
        if (it != published.constEnd()) {
            QCOMPARE(s.spectrum, *it);
            ++matched;
        }
    }
    QVERIFY2(padded >= 10, qPrintable(QString::number(padded)));
    QCOMPARE(quint64(received), remote->sweepsTaken(page));
    QVERIFY2(matched >= received - 40,
             qPrintable(QStringLiteral("%1 of %2").arg(matched).arg(received)));

    // Killed, the node says nothing; the broker says its last will.
    node.kill();
    QVERIFY(node.waitForFinished(10000));
    QTRY_VERIFY_WITH_TIMEOUT(remote->isOffline(page), 20000);
    QCOMPARE(tabs->tabText(tabs->indexOf(page)), QStringLiteral("north (Node offline)"));
    QCOMPARE(page->findChild<QLabel *>(QStringLiteral("lblRemoteState"))->text(),
             QStringLiteral("Node offline"));
    QTRY_COMPARE(remote->statusLabel()->text(), QStringLiteral("north: Node offline"));
    // The page's alarm started with its first sweeps, ended when the broker
    // went, came back with it and ended with the node.
    const auto alarmRows = [&w] {
        QStringList rows;
        for (const AlarmEvent &e : w.alarmController()->alarmsDock()->events())
            rows << e.node + (e.state == AlarmEvent::Start ? QStringLiteral(" S")
                                                           : QStringLiteral(" E"));
        return rows.join(QLatin1Char(','));
    };
    QTRY_COMPARE(alarmRows(), QStringLiteral("north S,north E,north S,north E"));

    // Quit offers the node's sweeps for saving, as a local scan's; saved,
    // they are not offered again.
    m_asked.clear();
    m_answers = {int(QMessageBox::Cancel), m_home.filePath("north.vozi")};
    QVERIFY(!w.close());
    QCOMPARE(m_asked.size(), 1);
    QCOMPARE(m_asked.first().text, QStringLiteral("%1 sweeps of node north are not saved. Do you "
                                                  "want to save the recording?")
                                       .arg(remote->sweepsTaken(page)));
    w.form()->actionSave->trigger();
    QCOMPARE(RecordingIo::loadFile(m_home.filePath("north.vozi")).history.samples.size(),
             page->bandHistory().sampleCount());
    QCOMPARE(remote->unsavedSweeps(page), 0);

    // Closing the page ends the watch.
    emit tabs->tabCloseRequested(tabs->indexOf(page));
    QTRY_VERIFY(remote->pages().isEmpty());
    QTRY_VERIFY(!remote->statusLabel()->isVisible());
}

// A CA and a server certificate for 127.0.0.1 made with openssl in `dir`;
// false when a step fails.
static bool makeCertificates(const QString &dir, const QString &openssl)
{
    const auto run = [&](const QStringList &args) {
        QProcess p;
        p.setWorkingDirectory(dir);
        p.start(openssl, args);
        return p.waitForFinished(30000) && p.exitCode() == 0;
    };
    const QStringList ec = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    QFile ext(dir + "/ext.cnf");
    return run(QStringList{"req", "-x509"} + ec +
               QStringList{"-keyout", "ca.key", "-out", "ca.crt", "-days", "2", "-subj",
                           "/CN=Test CA"}) &&
           run(QStringList{"req", "-x509"} + ec +
               QStringList{"-keyout", "other.key", "-out", "other.crt", "-days", "2", "-subj",
                           "/CN=Other CA"}) &&
           run(QStringList{"req"} + ec +
               QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj",
                           "/CN=127.0.0.1"}) &&
           ext.open(QIODevice::WriteOnly) && ext.write("subjectAltName=IP:127.0.0.1\n") > 0 &&
           (ext.close(), true) &&
           run({"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                "-CAcreateserial", "-out", "server.crt", "-days", "2", "-extfile", "ext.cnf"});
}

// mqtts: with the broker's CA the node and the window connect and sweeps
// arrive; with another CA the window says why it cannot connect and never
// calls it connected.
void tst_RemoteWatch::mqtts_data()
{
    QTest::addColumn<bool>("rightCa");
    QTest::newRow("the broker's CA") << true;
    QTest::newRow("another CA") << false;
}

void tst_RemoteWatch::mqtts()
{
    QFETCH(bool, rightCa);
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        QSKIP("openssl is not installed");
    const QString exe = qEnvironmentVariable("ORVANEL_CAPTURE");
    if (exe.isEmpty() || SimProcess::executable().isEmpty())
        QSKIP("ORVANEL_CAPTURE or ORVANEL_SIM not set");
    QTemporaryDir dir;
    QVERIFY(makeCertificates(dir.path(), openssl));
    BrokerProcess broker;
    broker.setTls(dir.filePath("ca.crt"), dir.filePath("server.crt"), dir.filePath("server.key"));
    if (!broker.start())
        QSKIP(qPrintable(broker.errorText()));
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--rate"), QStringLiteral("20")}),
             qPrintable(sim.errorText()));
    QProcess node;
    node.start(exe, {"--port", sim.ptyPath(), "--publish", broker.url(), "--node", "east",
                     "--mqtt-ca-file", dir.filePath("ca.crt")});
    QVERIFY(node.waitForStarted(10000));

    QSettings().clear();
    MainWindow w(nullptr, false);
    RemoteController *remote = w.remoteController();
    remote->watchAction()->trigger();
    RemoteScannersDialog *dialog = remote->dialog();
    dialog->urlEdit()->setText(broker.url());
    dialog->caFileEdit()->setText(dir.filePath(rightCa ? "ca.crt" : "other.crt"));
    QVERIFY(dialog->listNodes());
    if (rightCa) {
        QTRY_COMPARE_WITH_TIMEOUT(dialog->nodeList()->topLevelItemCount(), 1, 20000);
        QVERIFY(dialog->stateLabel()->text().startsWith(QStringLiteral("Connected to mqtts://")));
        dialog->nodeList()->topLevelItem(0)->setCheckState(0, Qt::Checked);
        dialog->accept();
        QCOMPARE(remote->pages().size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(remote->pages().first()->bandHistory().sampleCount() >= 10, 20000);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(
            dialog->stateLabel()->text().startsWith(QStringLiteral("Cannot connect to mqtts://")),
            20000);
        QVERIFY2(dialog->stateLabel()->text().contains(QStringLiteral("certificate verify failed")),
                 qPrintable(dialog->stateLabel()->text()));
        QTest::qWait(1500); // a retry, still refused
        QVERIFY(dialog->stateLabel()->text().startsWith(QStringLiteral("Cannot connect")));
        QCOMPARE(dialog->nodeList()->topLevelItemCount(), 0);
    }
    node.terminate();
    QVERIFY(node.waitForFinished(20000));
}

QTEST_MAIN(tst_RemoteWatch)
#include "tst_remotewatch.moc"
