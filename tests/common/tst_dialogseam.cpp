#include "dialogseam.h"

#include <QTest>

// Every message box leaves one line in the log, whoever answers it.
class tst_DialogSeam : public QObject
{
    Q_OBJECT
private slots:
    void messageBoxesAreLogged_data();
    void messageBoxesAreLogged();
};

static QStringList s_lines;

static void capture(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    if (QLatin1String(context.category) == QLatin1String("orvanel.dialog"))
        s_lines.append(message);
}

void tst_DialogSeam::messageBoxesAreLogged_data()
{
    QTest::addColumn<bool>("handled");
    QTest::newRow("answered by a handler") << true;
    QTest::newRow("default answer") << false;
}

void tst_DialogSeam::messageBoxesAreLogged()
{
    QFETCH(bool, handled);
    int asked = 0;
    DialogSeam::Handler old =
        DialogSeam::setHandler(handled ? DialogSeam::Handler([&asked](const DialogSeam::Request &) {
            ++asked;
            return QVariant(0x00004000); // Yes
        })
                                       : DialogSeam::Handler());
    s_lines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(capture);
    const int answer = DialogSeam::question("Save", "Save the recording?\nIt is not saved yet.",
                                            0x00004000 | 0x00010000, 0x00010000);
    DialogSeam::Request picker;
    picker.kind = DialogSeam::Request::GetItem;
    picker.title = "Pick";
    DialogSeam::ask(picker);
    qInstallMessageHandler(previous);
    DialogSeam::setHandler(old);

    QCOMPARE(answer, handled ? 0x00004000 : 0x00010000);
    QCOMPARE(asked, handled ? 2 : 0);
    QCOMPARE(s_lines, QStringList{"[Save] Save the recording? It is not saved yet."});
}

QTEST_GUILESS_MAIN(tst_DialogSeam)
#include "tst_dialogseam.moc"
