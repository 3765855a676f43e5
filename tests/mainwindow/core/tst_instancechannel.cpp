#include "instancechannel.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

// The single-instance channel between two starts of the program. Each test
// gets its own runtime directory, so it never meets a running program.
class tst_InstanceChannel : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void serverNameIsPrivate();
    void forwardsArguments();
    void noServerMeansFirstInstance();
    void severalPeersAtOnce();
    void lastLineWithoutLineFeed();
    void junkIsCapped();
    void staleSocketIsReplaced();
    void otherUsersAreRefused();

private:
    QScopedPointer<QTemporaryDir> m_runtime;
};

void tst_InstanceChannel::init()
{
    m_runtime.reset(new QTemporaryDir);
    QVERIFY(m_runtime->isValid());
    qputenv("XDG_RUNTIME_DIR", m_runtime->path().toLocal8Bit());
}

void tst_InstanceChannel::serverNameIsPrivate()
{
    QCOMPARE(InstanceChannel::serverName(), m_runtime->path() + "/Orvanel");
    qunsetenv("XDG_RUNTIME_DIR"); // in the shared temporary directory: per user
    QCOMPARE(InstanceChannel::serverName(), "Orvanel-" + QString::number(geteuid()));
}

void tst_InstanceChannel::forwardsArguments()
{
    InstanceChannel channel;
    QVERIFY(channel.listen());
    QSignalSpy spy(&channel, &InstanceChannel::argumentsReceived);
    QVERIFY(spy.isValid());
    const QStringList args{"/usr/bin/orvanel", "/tmp/ä b.vozi", "-qc"};
    QVERIFY(InstanceChannel::forwardArguments(args));
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toStringList(), args);
}

void tst_InstanceChannel::noServerMeansFirstInstance()
{
    QVERIFY(!InstanceChannel::forwardArguments({"orvanel"}, 200));
}

static QLocalSocket *rawPeer(QObject *parent)
{
    auto *s = new QLocalSocket(parent);
    s->connectToServer(InstanceChannel::serverName());
    return s->waitForConnected(1000) ? s : nullptr;
}

void tst_InstanceChannel::severalPeersAtOnce()
{
    // A file manager opening three files starts three instances at once;
    // their lines must not mix and none may be lost.
    InstanceChannel channel;
    QVERIFY(channel.listen());
    QSignalSpy spy(&channel, &InstanceChannel::argumentsReceived);
    QLocalSocket *a = rawPeer(this);
    QLocalSocket *b = rawPeer(this);
    QVERIFY(a && b);
    a->write("orvanel\n/x/one.vozi\n");
    b->write("orvanel\n/x/two.vozi\n");
    a->flush();
    b->flush();
    QTest::qWait(50);
    b->disconnectFromServer();
    a->disconnectFromServer();
    QTRY_COMPARE(spy.count(), 2);
    QSet<QString> files;
    for (const auto &call : spy)
        files << call.at(0).toStringList().value(1);
    QCOMPARE(files, (QSet<QString>{"/x/one.vozi", "/x/two.vozi"}));
}

void tst_InstanceChannel::lastLineWithoutLineFeed()
{
    InstanceChannel channel;
    QVERIFY(channel.listen());
    QSignalSpy spy(&channel, &InstanceChannel::argumentsReceived);
    QLocalSocket *a = rawPeer(this);
    QVERIFY(a);
    a->write("orvanel\n-qc");
    a->flush();
    a->disconnectFromServer();
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toStringList(), (QStringList{"orvanel", "-qc"}));
}

void tst_InstanceChannel::junkIsCapped()
{
    InstanceChannel channel;
    QVERIFY(channel.listen());
    QSignalSpy spy(&channel, &InstanceChannel::argumentsReceived);

    // One endless line: kept short, still delivered.
    QLocalSocket *a = rawPeer(this);
    QVERIFY(a);
    a->write("orvanel\n");
    a->write(QByteArray(1 << 20, 'x'));
    a->flush();
    a->waitForBytesWritten(2000);
    a->disconnectFromServer();
    QTRY_COMPARE(spy.count(), 1);
    const QStringList lines = spy.at(0).at(0).toStringList();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(1).size(), InstanceChannel::MaxLineLength);

    // Binary junk of endless short lines: the peer is dropped, nothing is run.
    QLocalSocket *b = rawPeer(this);
    QVERIFY(b);
    QByteArray junk;
    for (int i = 0; i < 100000; ++i)
        junk.append(char(i * 7 % 251)).append('\n');
    b->write(junk);
    b->flush();
    QTRY_COMPARE(b->state(), QLocalSocket::UnconnectedState);
    QTest::qWait(50);
    QCOMPARE(spy.count(), 1);

    // The channel still serves the next start.
    QVERIFY(InstanceChannel::forwardArguments({"orvanel", "-debug"}));
    QTRY_COMPARE(spy.count(), 2);
}

void tst_InstanceChannel::staleSocketIsReplaced()
{
    // A crashed instance leaves its socket file behind.
    {
        InstanceChannel dead;
        QVERIFY(dead.listen());
    }
    QFile stale(InstanceChannel::serverName());
    if (!stale.exists()) {
        QVERIFY(stale.open(QIODevice::WriteOnly)); // make one by hand
        stale.close();
    }
    QVERIFY(!InstanceChannel::forwardArguments({"orvanel"}, 200));
    InstanceChannel channel;
    QVERIFY(channel.listen());
    QSignalSpy spy(&channel, &InstanceChannel::argumentsReceived);
    QVERIFY(InstanceChannel::forwardArguments({"orvanel", "x"}));
    QTRY_COMPARE(spy.count(), 1);
}

void tst_InstanceChannel::otherUsersAreRefused()
{
    InstanceChannel channel;
    QVERIFY(channel.listen());
    QSignalSpy spy(&channel, &InstanceChannel::argumentsReceived);
    const QByteArray path = InstanceChannel::serverName().toLocal8Bit();
    struct stat st = {};
    QCOMPARE(::stat(path.constData(), &st), 0);
    QVERIFY2((st.st_mode & 077) == 0, qPrintable(QString::number(st.st_mode, 8)));

    if (geteuid() != 0)
        QSKIP("needs root to connect as another user");
    // Open the way on purpose, as a careless umask or a shared /tmp would:
    // only the peer check is left to keep a stranger out.
    QVERIFY(
        QFile::setPermissions(m_runtime->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                     QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                                     QFileDevice::ExeOther));
    QCOMPARE(::chmod(path.constData(), 0777), 0);
    QTest::ignoreMessage(QtWarningMsg, "Single-instance channel: refused a peer of another user");
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        // Plain system calls only between fork and _exit.
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (setuid(65534) != 0 || fd < 0 ||
            ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
            _exit(1);
        const char line[] = "orvanel\n/tmp/planted.vozi\n";
        const bool written = write(fd, line, sizeof line - 1) == ssize_t(sizeof line - 1);
        close(fd);
        _exit(written ? 0 : 2);
    }
    int status = -1;
    QCOMPARE(waitpid(child, &status, 0), child);
    QCOMPARE(status, 0);
    // The stranger came first, so once our own start is through, it was seen.
    QVERIFY(InstanceChannel::forwardArguments({"orvanel", "-qc"}));
    QTRY_COMPARE(spy.count(), 1);
    QTest::qWait(50);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toStringList(), (QStringList{"orvanel", "-qc"}));
}

QTEST_GUILESS_MAIN(tst_InstanceChannel)
#include "tst_instancechannel.moc"
