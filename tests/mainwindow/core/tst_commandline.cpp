#include "commandline.h"

#include <QTest>

using CommandLine::Step;

Q_DECLARE_METATYPE(CommandLine::Step::Kind)

class tst_CommandLine : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void values_data();
    void values();
    void absoluteFileNames();
};

// Each row: the arguments after the program path, and the steps as
// "kind:value" texts in order.
void tst_CommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("nothing") << QStringList() << QStringList();
    QTest::newRow("file") << QStringList{"a.vozi"} << QStringList{"file:a.vozi"};
    QTest::newRow("flags") << QStringList{"-debug", "-qc"} << QStringList{"debug", "qc"};
    QTest::newRow("rbw") << QStringList{"-rbw", "40"} << QStringList{"rbw:40"};
    QTest::newRow("rbw letters are consumed, not a file")
        << QStringList{"-rbw", "abc", "b.vozi"} << QStringList{"file:b.vozi"};
    QTest::newRow("rbw above the register") << QStringList{"-rbw", "256"} << QStringList();
    QTest::newRow("ampl negative") << QStringList{"-ampl", "-5"} << QStringList{"ampl:-5"};
    QTest::newRow("fstep") << QStringList{"-fstep", "100"} << QStringList{"fstep:100"};
    QTest::newRow("fstep nan") << QStringList{"-fstep", "nan"} << QStringList();
    QTest::newRow("fstep inf") << QStringList{"-fstep", "inf"} << QStringList();
    QTest::newRow("fstep overflows 16.16") << QStringList{"-fstep", "70000000"} << QStringList();
    QTest::newRow("fstep rounds to 0") << QStringList{"-fstep", "0.001"} << QStringList();
    QTest::newRow("unknown dash consumes nothing")
        << QStringList{"-bogus", "-qc"} << QStringList{"qc"};
    QTest::newRow("unknown dash then file")
        << QStringList{"-x", "c.vozi"} << QStringList{"file:c.vozi"};
    QTest::newRow("value option last") << QStringList{"-qc", "-rbw"} << QStringList{"qc"};
    QTest::newRow("fstep last") << QStringList{"-fstep"} << QStringList();
    QTest::newRow("port") << QStringList{"-port", "/dev/pts/9"} << QStringList{"port:/dev/pts/9"};
    QTest::newRow("watch") << QStringList{"--watch", "mqtt://b/venue", "x.vozi"}
                           << QStringList{"watch:mqtt://b/venue", "file:x.vozi"};
    QTest::newRow("options are case-sensitive") << QStringList{"-QC"} << QStringList();
    QTest::newRow("help") << QStringList{"--help"} << QStringList{"help"};
    QTest::newRow("order kept") << QStringList{"a.vozi", "-qc", "b.vozi"}
                                << QStringList{"file:a.vozi", "qc", "file:b.vozi"};
}

static QString describe(const Step &s)
{
    switch (s.kind) {
    case Step::OpenFile:
        return "file:" + s.text;
    case Step::Debug:
        return "debug";
    case Step::Rbw:
        return "rbw:" + QString::number(s.intValue);
    case Step::Ampl:
        return "ampl:" + QString::number(s.intValue);
    case Step::FStep:
        return "fstep:" + QString::number(s.doubleValue);
    case Step::Qc:
        return "qc";
    case Step::Port:
        return "port:" + s.text;
    case Step::Watch:
        return "watch:" + s.text;
    case Step::Help:
        return "help";
    }
    return QString();
}

void tst_CommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expected);
    arguments.prepend("/usr/bin/orvanel");
    QStringList got;
    for (const Step &s : CommandLine::parse(arguments))
        got << describe(s);
    QCOMPARE(got, expected);
}

void tst_CommandLine::values_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("rbwOk");
    QTest::addColumn<bool>("fstepOk");

    QTest::newRow("255") << "255" << true << true;
    QTest::newRow("-1") << "-1" << true << true;
    QTest::newRow("1e3") << "1e3" << false << true;
    QTest::newRow("empty") << "" << false << false;
    QTest::newRow("65535999") << "65535999" << false << true;
    QTest::newRow("65536000") << "65536000" << false << false;
}

void tst_CommandLine::values()
{
    QFETCH(QString, text);
    QFETCH(bool, rbwOk);
    QFETCH(bool, fstepOk);
    int i = 7;
    double d = 7;
    QCOMPARE(CommandLine::parseRbw(text, &i), rbwOk);
    QCOMPARE(CommandLine::parseFStep(text, &d), fstepOk);
    if (!rbwOk)
        QCOMPARE(i, 7); // a failed parse leaves the value alone
}

void tst_CommandLine::absoluteFileNames()
{
    const QStringList in{"orvanel",     "rec.vozi", "-port",     "ttyX",    "-rbw",      "40",
                         "/abs/b.vozi", "-qc",      "../c.vozi", "--watch", "mqtt://b/v"};
    const QStringList out = CommandLine::withAbsoluteFileNames(in, "/home/u/work");
    QCOMPARE(out, (QStringList{"orvanel", "/home/u/work/rec.vozi", "-port", "ttyX", "-rbw", "40",
                               "/abs/b.vozi", "-qc", "/home/u/c.vozi", "--watch", "mqtt://b/v"}));
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
