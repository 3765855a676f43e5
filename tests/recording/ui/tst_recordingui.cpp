#include "dialogseam.h"
#include "recordingio.h"
#include "recordingtestdata.h"
#include "recordingui.h"

#include <QDir>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QtTest>

namespace {

// Answers the seam from a script and keeps every request it was asked.
class ScriptedSeam
{
public:
    ScriptedSeam()
    {
        m_previous = DialogSeam::setHandler([this](const DialogSeam::Request &r) {
            requests << r;
            if (r.kind == DialogSeam::Request::Message)
                return answers.isEmpty() ? QVariant(r.defaultButton) : answers.takeFirst();
            return answers.isEmpty() ? QVariant() : answers.takeFirst();
        });
    }
    ~ScriptedSeam() { DialogSeam::setHandler(m_previous); }
    QList<DialogSeam::Request> ofKind(DialogSeam::Request::Kind kind) const
    {
        QList<DialogSeam::Request> found;
        for (const DialogSeam::Request &r : requests)
            if (r.kind == kind)
                found << r;
        return found;
    }

    QVariantList answers;
    QList<DialogSeam::Request> requests;

private:
    DialogSeam::Handler m_previous;
};

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestRecordingUi : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void saveAppendsSuffix_data();
    void saveAppendsSuffix();
    void saveAsksBeforeReplacingAppendedName_data();
    void saveAsksBeforeReplacingAppendedName();
    void saveCancelled_data();
    void saveCancelled();
    void saveFailureReported();
    void open_data();
    void open();

private:
    QTemporaryDir m_dir;
};

void TestRecordingUi::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwell"));
    // one settings file per test, so tests running side by side keep apart
    QCoreApplication::setApplicationName(QStringLiteral("tst_recordingui"));
    QVERIFY(m_dir.isValid());
}

void TestRecordingUi::init()
{
    QSettings().clear();
}

void TestRecordingUi::saveAppendsSuffix_data()
{
    QTest::addColumn<QVariant>("answer");
    QTest::addColumn<QString>("written");
    const QString dir = m_dir.path();
    QTest::newRow("typed without suffix") << QVariant(dir + "/site") << dir + "/site.vozi";
    QTest::newRow("with suffix") << QVariant(dir + "/b.vozi") << dir + "/b.vozi";
    QTest::newRow("capital suffix") << QVariant(dir + "/c.VOZI") << dir + "/c.VOZI.vozi";
    QTest::newRow("local URL") << QVariant(QUrl::fromLocalFile(dir + "/d")) << dir + "/d.vozi";
}

void TestRecordingUi::saveAppendsSuffix()
{
    QFETCH(QVariant, answer);
    QFETCH(QString, written);
    ScriptedSeam seam;
    seam.answers << answer;
    const RfSpectrumHistory h = fullHistory();
    QCOMPARE(RecordingUi::save(nullptr, h, QStringLiteral("Site_2400MHz_2024-05-01T143005")),
             written);

    const auto asked = seam.ofKind(DialogSeam::Request::SaveFileName);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().title, QStringLiteral("Save Recording"));
    QCOMPARE(asked.first().filter, QStringLiteral("Vozi Data File: *.vozi"));
    QCOMPARE(asked.first().defaultSuffix, QStringLiteral("vozi"));
    QCOMPARE(asked.first().value,
             QDir(QStandardPaths::standardLocations(QStandardPaths::DocumentsLocation).value(0))
                 .filePath(QStringLiteral("Site_2400MHz_2024-05-01T143005")));
    QVERIFY(seam.ofKind(DialogSeam::Request::Message).isEmpty());

    const RecordingIo::Recording r = RecordingIo::loadFile(written);
    QVERIFY(r.complete);
    QVERIFY(r.history == h);
    QCOMPARE(RecordingIo::recordingDirectory(), m_dir.path());
    QFile::remove(written);

    // the next save starts in the remembered directory
    ScriptedSeam again;
    RecordingUi::save(nullptr, h, QStringLiteral("next"));
    QCOMPARE(again.requests.first().value, m_dir.path() + QStringLiteral("/next"));
}

void TestRecordingUi::saveAsksBeforeReplacingAppendedName_data()
{
    QTest::addColumn<int>("reply");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("yes") << int(QMessageBox::Yes) << true;
    QTest::newRow("no") << int(QMessageBox::No) << false;
}

void TestRecordingUi::saveAsksBeforeReplacingAppendedName()
{
    // The dialog asked about "old.VOZI"; ".vozi" is appended afterwards, so
    // replacing "old.VOZI.vozi" needs a question of its own.
    QFETCH(int, reply);
    QFETCH(bool, replaced);
    const QString existing = m_dir.filePath(QStringLiteral("old.VOZI.vozi"));
    {
        QFile f(existing);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("precious");
    }
    ScriptedSeam seam;
    seam.answers << m_dir.filePath(QStringLiteral("old.VOZI")) << reply;
    const QString written = RecordingUi::save(nullptr, fullHistory(), QStringLiteral("x"));
    const auto questions = seam.ofKind(DialogSeam::Request::Message);
    QCOMPARE(questions.size(), 1);
    QCOMPARE(questions.first().icon, DialogSeam::Request::Question);
    QVERIFY(questions.first().text.contains(QStringLiteral("old.VOZI.vozi")));
    QCOMPARE(questions.first().defaultButton, int(QMessageBox::No));
    QCOMPARE(written.isEmpty(), !replaced);
    QCOMPARE(contents(existing) == "precious", !replaced);
    QFile::remove(existing);
}

void TestRecordingUi::saveCancelled_data()
{
    QTest::addColumn<QVariant>("answer");
    QTest::newRow("cancelled") << QVariant();
    QTest::newRow("empty") << QVariant(QString());
    QTest::newRow("remote URL") << QVariant(QUrl(QStringLiteral("sftp://host/site.vozi")));
}

void TestRecordingUi::saveCancelled()
{
    QFETCH(QVariant, answer);
    ScriptedSeam seam;
    seam.answers << answer;
    QVERIFY(RecordingUi::save(nullptr, fullHistory(), QStringLiteral("x")).isEmpty());
    QCOMPARE(seam.requests.size(), 1);
    QVERIFY(!QSettings().contains(QStringLiteral("RecordingLocation")));
}

void TestRecordingUi::saveFailureReported()
{
    ScriptedSeam seam;
    seam.answers << m_dir.filePath(QStringLiteral("missing/dir/site"));
    QVERIFY(RecordingUi::save(nullptr, fullHistory(), QStringLiteral("x")).isEmpty());
    const auto messages = seam.ofKind(DialogSeam::Request::Message);
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().icon, DialogSeam::Request::Critical);
    QVERIFY(messages.first().text.contains(QStringLiteral("site.vozi")));
    // the system's reason is in the text
    QVERIFY2(messages.first().text.contains(QStringLiteral("No such file or directory")),
             qPrintable(messages.first().text));
    QVERIFY(!QSettings().contains(QStringLiteral("RecordingLocation")));
}

void TestRecordingUi::open_data()
{
    QTest::addColumn<QVariant>("answer");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("called");
    QTest::addColumn<bool>("remembered");
    const QString file = m_dir.filePath(QStringLiteral("site.vozi"));
    QTest::newRow("opened") << QVariant(file) << true << true << true;
    QTest::newRow("refused") << QVariant(file) << false << true << false;
    QTest::newRow("cancelled") << QVariant() << true << false << false;
    QTest::newRow("remote") << QVariant(QUrl(QStringLiteral("http://x/site.vozi"))) << true << false
                            << false;
}

void TestRecordingUi::open()
{
    QFETCH(QVariant, answer);
    QFETCH(bool, accepted);
    QFETCH(bool, called);
    QFETCH(bool, remembered);
    RecordingIo::rememberRecordingDirectory(QStringLiteral("/start/here.vozi"));
    ScriptedSeam seam;
    seam.answers << answer;
    QStringList opened;
    const bool result = RecordingUi::open(nullptr, [&](const QString &path) {
        opened << path;
        return accepted;
    });
    QCOMPARE(result, called && accepted);
    QCOMPARE(opened.size(), called ? 1 : 0);
    const auto asked = seam.ofKind(DialogSeam::Request::OpenFileName);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().title, QStringLiteral("Open Recording"));
    QCOMPARE(asked.first().value, QStringLiteral("/start"));
    QCOMPARE(asked.first().filter,
             QStringLiteral("Vozi Data File: *.vozi;;rtl_power or hackrf_sweep CSV: *.csv"));
    QCOMPARE(RecordingIo::recordingDirectory(),
             remembered ? m_dir.path() : QStringLiteral("/start"));
}

QTEST_MAIN(TestRecordingUi)
#include "tst_recordingui.moc"
