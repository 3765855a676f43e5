#include "dialogseam.h"

#include <QTest>

// Every message box leaves one line in the log, whoever answers it.
class tst_DialogSeam : public QObject
{
    Q_OBJECT
private slots:
    void messageBoxesAreLogged();
};

static QStringList s_lines;

void tst_DialogSeam::messageBoxesAreLogged()
{
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &context, const QString &m) {
            if (QLatin1String(context.category) == QLatin1String("orvanel.dialog"))
                s_lines.append(m);
        });
    DialogSeam::warning("Save", "Save the recording?\nIt is not saved yet."); // default answer
    DialogSeam::setHandler([](const DialogSeam::Request &) { return QVariant(); });
    DialogSeam::critical("Port", "Cannot open");
    DialogSeam::Request picker; // not a message box
    picker.kind = DialogSeam::Request::GetItem;
    DialogSeam::ask(picker);
    qInstallMessageHandler(previous);
    QCOMPARE(s_lines, QStringList({"[Save] Save the recording? It is not saved yet.",
                                   "[Port] Cannot open"}));
}

QTEST_GUILESS_MAIN(tst_DialogSeam)
#include "tst_dialogseam.moc"
