#include "tnwapp.h"

#include <QFile>
#include <QFileOpenEvent>
#include <QTest>

// Systems that hand files to a running program as events (macOS) reach the
// window through fileOpenRequested.
class tst_TnwApp : public QObject
{
    Q_OBJECT
private slots:
    void fileOpenEvent();
};

void tst_TnwApp::fileOpenEvent()
{
    auto *app = qobject_cast<TnwApp *>(QCoreApplication::instance());
    QVERIFY(app);
    QStringList names;
    connect(app, &TnwApp::fileOpenRequested, this,
            [&names](QFile &file) { names << file.fileName(); });
    QFileOpenEvent open(QStringLiteral("/tmp/site.vozi"));
    QCoreApplication::sendEvent(app, &open);
    QCOMPARE(names, QStringList{"/tmp/site.vozi"});
    QEvent other(QEvent::ApplicationStateChange);
    QCoreApplication::sendEvent(app, &other);
    QCOMPARE(names.size(), 1);
}

int main(int argc, char **argv)
{
    TnwApp app(argc, argv);
    tst_TnwApp test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_tnwapp.moc"
