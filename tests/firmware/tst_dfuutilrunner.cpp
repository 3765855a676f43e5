#include "dfuutilrunner.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// What the update writes to disk while dfu-util runs must stay the user's
// own: another local user must neither read the image nor swap it.
class tst_DfuUtilRunner : public QObject
{
    Q_OBJECT
private slots:
    void imageIsPrivate();
};

void tst_DfuUtilRunner::imageIsPrivate()
{
    // A stand-in dfu-util that reports the modes of the image it was given
    // (arguments: -a 0 -D <image> -s :leave) and of its directory.
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    const QString report = bin.filePath("modes");
    const QString tool = bin.filePath("dfu-util");
    QFile script(tool);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nstat -c '%a' \"$(dirname \"$4\")\" \"$4\" > \"" +
                 report.toLocal8Bit() + "\"\necho 'Download done.'\n");
    script.close();
    QVERIFY(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    qputenv("ORVANEL_DFU_UTIL", tool.toLocal8Bit());

    DfuUtilRunner runner;
    QSignalSpy done(&runner, &DfuUtilRunner::finished);
    QVERIFY(done.isValid());
    runner.start(QByteArray(64, '\x5a'));
    QVERIFY(done.wait(30000) || done.count() == 1);
    QFile modes(report);
    QVERIFY(modes.open(QIODevice::ReadOnly));
    QCOMPARE(modes.readAll(), QByteArray("700\n600\n"));
}

QTEST_GUILESS_MAIN(tst_DfuUtilRunner)
#include "tst_dfuutilrunner.moc"
