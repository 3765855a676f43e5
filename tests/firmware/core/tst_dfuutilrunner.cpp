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
    // A stand-in dfu-util that lists one device and reports the modes of the
    // image it was given (the argument after -D) and of its directory.
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    const QString report = bin.filePath("modes");
    const QString tool = bin.filePath("dfu-util");
    QFile script(tool);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n[ \"$1\" = -l ] && echo 'Found DFU: [" +
                 DfuUtilRunner::deviceId().toLatin1() +
                 "] ver=2200, devnum=9, cfg=1, intf=0, path=\"1-1\", alt=0, name=\"x\", "
                 "serial=\"UNKNOWN\"' && exit 0\n"
                 "while [ \"$1\" != -D ]; do shift; done\n"
                 "stat -c '%a' \"$(dirname \"$2\")\" \"$2\" > \"" +
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
