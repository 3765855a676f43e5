// All or nothing: what a failed save leaves behind, and who may change the
// file afterwards.
#include "savefile.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

class TestSaveFile : public QObject
{
    Q_OBJECT
private slots:
    void save_data();
    void save();
};

enum class Step
{
    Commit,
    Cancel,
    ExceedFileSizeLimit
};
Q_DECLARE_METATYPE(Step)

void TestSaveFile::save_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("oldMode"); // -1: no old file
    QTest::addColumn<int>("umask");
    QTest::addColumn<Step>("step");
    QTest::addColumn<QString>("reason"); // why it was not saved; empty: saved
    QTest::addColumn<int>("mode");       // of the file afterwards; -1: none there

    const QString saved;
    QTest::newRow("new file, nothing masked") << "f" << -1 << 0 << Step::Commit << saved << 0644;
    QTest::newRow("old file writable by all")
        << "f" << 0666 << 022 << Step::Commit << saved << 0644;
    QTest::newRow("old private file") << "f" << 0600 << 0 << Step::Commit << saved << 0600;
    QTest::newRow("cancelled") << "f" << 0640 << 022 << Step::Cancel
                               << "Writing canceled by application" << 0640;
    QTest::newRow("write fails") << "f" << 0644 << 022 << Step::ExceedFileSizeLimit
                                 << "File too large" << 0644;
    QTest::newRow("missing directory")
        << "missing/f" << -1 << 022 << Step::Commit << "No such file or directory" << -1;
    QTest::newRow("parent is a file")
        << "plain/f" << -1 << 022 << Step::Commit << "Not a directory" << -1;
    if (geteuid() != 0) // root writes anywhere
        QTest::newRow("read-only directory")
            << "locked/f" << -1 << 022 << Step::Commit << "Permission denied" << -1;
}

void TestSaveFile::save()
{
    QFETCH(QString, name);
    QFETCH(int, oldMode);
    QFETCH(int, umask);
    QFETCH(Step, step);
    QFETCH(QString, reason);
    QFETCH(int, mode);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile(dir.filePath("plain")).open(QIODevice::WriteOnly);
    QVERIFY(QDir(dir.path()).mkdir("locked"));
    ::chmod(QFile::encodeName(dir.filePath("locked")).constData(), 0555);
    const QString path = dir.filePath(name);
    const QByteArray old("the old contents");
    if (oldMode >= 0) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
        f.close();
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(oldMode)), 0);
    }
    const auto others = [&] {
        QStringList files = QDir(dir.path()).entryList(QDir::Files);
        files.removeAll(name);
        return files;
    };
    const QStringList before = others();

    const mode_t oldMask = ::umask(mode_t(umask));
    rlimit oldLimit{};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    if (step == Step::ExceedFileSizeLimit) {
        rlimit small = oldLimit;
        small.rlim_cur = 4096;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    bool committed = false;
    QString errorText;
    {
        SaveFile file(path);
        // A writer that does not look at each write's result commits anyway.
        if (file.open()) {
            file.write(QByteArray(64 * 1024, 'n'));
            if (step == Step::Cancel)
                file.cancel();
            else
                committed = file.commit();
        }
        errorText = file.errorText();
    }
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldSignal);
    ::umask(oldMask);

    QCOMPARE(committed, reason.isEmpty());
    if (!committed)
        QCOMPARE(errorText, "Could not write " + path + ": " + reason);
    QFile result(path);
    QCOMPARE(result.exists(), mode >= 0);
    if (mode < 0)
        return;
    QVERIFY(result.open(QIODevice::ReadOnly));
    QCOMPARE(result.readAll(), committed ? QByteArray(64 * 1024, 'n') : old);
    struct stat st
    {
    };
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 0777), mode);
    // No temporary file stays behind.
    QCOMPARE(others(), before);
}

QTEST_GUILESS_MAIN(TestSaveFile)
#include "tst_savefile.moc"
