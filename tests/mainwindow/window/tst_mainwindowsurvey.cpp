#include "alarmcontroller.h"
#include "burstsourcemodel.h"
#include "dialogseam.h"
#include "kivoidpanel.h"
#include "mainwindow.h"
#include "recordingio.h"
#include "spectroplot.h"
#include "tabpage2400.h"
#include "tnwtabwidget.h"
#include "utilizationdock.h"
#include "utilizationmodel.h"
#include "windowtesthome.h"

#include <QAction>
#include <QDateTime>
#include <QDockWidget>
#include <QFileInfo>
#include <QImage>
#include <QMessageBox>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

// The survey in the window, on a recording with Wi-Fi 6 always on and one burst:
// the dock names the quietest channels, Find bursts keeps the ticked bursts as
// time events, and the report is written (or its failure shown).
class tst_MainWindowSurvey : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void surveyOfRecording();

private:
    QTemporaryDir m_home;
    QList<DialogSeam::Request> m_asked;
    QVariantList m_answers;
};

void tst_MainWindowSurvey::initTestCase()
{
    QVERIFY(m_home.isValid());
    useWindowTestHome(m_home.path(), QStringLiteral("OrvanelSurveyTest"));
    registerDeviceMetaTypes();
    registerSpectrumMetaTypes();
    answerDialogsFromScript(&m_asked, &m_answers);
}

void tst_MainWindowSurvey::surveyOfRecording()
{
    RfSpectrumHistory h;
    h.frequencyInterval = QwtInterval(2400, 2500);
    h.amplitudeInterval = QwtInterval(-110, -20);
    for (int s = 0; s < 200; ++s) {
        RfSpectrumScan scan(501, qint8(-97 + s % 3));
        for (int i = 135; i <= 235; ++i) // Wi-Fi 6, never off
            scan[i] = -55;
        for (int i = 400; i <= 405 && s >= 100 && s < 104; ++i) // one burst at 2480 MHz
            scan[i] = -60;
        h.samples.append(RfSpectrumSample(1765000000000 + s * 50, scan));
    }
    const QString recording = m_home.filePath(QStringLiteral("busy.vozi"));
    QString error;
    QVERIFY2(RecordingIo::saveFile(recording, h, &error), qPrintable(error));

    QSettings().clear();
    MainWindow w(nullptr, false);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.form()->actionUtilization->trigger();
    UtilizationDock *dock = w.utilizationDock();
    // The live page on screen from the start: its sweeps reach the dock.
    for (const RfSpectrumSample &s : h.samples.mid(0, 20))
        w.page2400()->addNewSpectrumSample(s);
    w.page2400()->flushRedraw();
    QTRY_COMPARE(dock->result().sampleCount, 20);
    QVERIFY(w.openRecordingFile(recording));
    auto *page = qobject_cast<TabPage *>(w.form()->tabWidget->currentWidget());
    QVERIFY(page);
    QTRY_COMPARE(dock->result().sampleCount, 200);
    QCOMPARE(dock->result().channels.at(dock->result().bestWifi).channel.name(),
             QStringLiteral("Wi-Fi 1"));
    QVERIFY(dock->result().recommendationText().contains(QStringLiteral("avoid Wi-Fi 6")));

    // Ticking an ID in the dock selects it in the KiVo panel.
    UtilizationModel *model = dock->model();
    int row = 0;
    while (model->data(model->index(row, 0)).toString() != QStringLiteral("KiVo ID 24340"))
        ++row;
    QVERIFY(model->setData(model->index(row, 0), Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(w.kivoIdPanel()->selectedKivoIds(), QList<int>{24340});

    // The dock's burst settings count: the burst lasts 4 sweeps.
    auto *sweeps = dock->findChild<QSpinBox *>(QStringLiteral("sbBurstSweeps"));
    QVERIFY(sweeps);
    sweeps->setValue(5);
    w.form()->actionFind_Bursts->trigger();
    QCOMPARE(m_asked.last().kind, DialogSeam::Request::Message);
    sweeps->setValue(2);
    w.form()->actionFind_Bursts->trigger();
    QCOMPARE(dock->sourceModel()->rowCount(), 1);
    dock->sourceView()->selectAll();
    dock->addSelectedSourcesAsEvents();
    const QList<TimeEvent> events = page->history().timeEvents;
    QCOMPARE(events.size(), 1);
    QCOMPARE(events.first().time.toMSecsSinceEpoch(), 1765000000000 + 100 * 50);
    QVERIFY(events.first().text.startsWith(QStringLiteral("Burst 2480\u20132481 MHz")));

    // The band's limit lines are drawn on the recording's page, and so in
    // the report's density picture.
    LimitLine mask;
    mask.name = QStringLiteral("Stage mask");
    mask.points = {{2400, -75}, {2500, -75}};
    w.alarmController()->setLimits({mask});

    QImage logoImage(60, 20, QImage::Format_RGB32);
    logoImage.fill(Qt::magenta);
    const QString logo = m_home.filePath(QStringLiteral("logo.png"));
    QVERIFY(logoImage.save(logo));
    // The pictures of a report: the logo, the summary's, the density's, the
    // waterfall's.
    const auto exported = [&](const QString &name) {
        m_answers = {m_home.filePath(name), QStringLiteral("Rigging from 9:00 | Gate B"), logo};
        w.form()->actionExport_Report->trigger();
        QFile file(m_home.filePath(name));
        QList<QImage> pictures;
        if (!file.open(QIODevice::ReadOnly))
            return pictures;
        const QByteArray text = file.readAll();
        for (int at = 0; (at = text.indexOf("<img src=\"data:image/png;base64,", at)) >= 0;) {
            at = text.indexOf(',', at) + 1;
            pictures << QImage::fromData(
                QByteArray::fromBase64(text.mid(at, text.indexOf('"', at) - at)), "PNG");
        }
        return pictures;
    };
    // The pointer over the plot draws a crosshair and a readout on screen;
    // the report's pictures show neither.
    QWidget *canvas = page->spectroPlot()->canvas();
    QTest::mouseMove(canvas, canvas->rect().center());
    const QList<QImage> hovered = exported(QStringLiteral("hovered.html"));
    QTest::mouseMove(w.form()->tabWidget->tabBar());
    QCOMPARE(exported(QStringLiteral("survey.html")), hovered);
    const QString html = m_home.filePath(QStringLiteral("survey.html"));
    QFile file(html);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    // Both plots are pictured at the size of the one on screen, the
    // waterfall too, although its page never showed it.
    const QList<QImage> &pictures = hovered;
    QCOMPARE(pictures.size(), 4);
    QCOMPARE(pictures.at(0), logoImage);
    QCOMPARE(pictures.at(1).size(), page->spectroPlot()->size());
    QCOMPARE(pictures.at(2), pictures.at(1));
    QCOMPARE(pictures.at(3).size(), pictures.at(1).size());
    const QImage density = pictures.at(2).convertToFormat(QImage::Format_RGB32);
    int limitPixels = 0;
    for (int y = 0; y < density.height(); ++y)
        for (int x = 0; x < density.width(); ++x)
            limitPixels += density.pixelColor(x, y) == QColor(230, 40, 40);
    QVERIFY2(limitPixels > density.width() / 4, qPrintable(QString::number(limitPixels)));
    QVERIFY(text.contains("24340"));
    QVERIFY(text.contains("Rigging from 9:00<br>Gate B"));
    // Remembered: the next report's prompt offers the last notes.
    QCOMPARE(exported(QStringLiteral("again.html")).size(), 4);
    QCOMPARE(m_asked.at(m_asked.size() - 2).value, QStringLiteral("Rigging from 9:00 | Gate B"));
    QCOMPARE(m_asked.last().value, logo);
    QVERIFY(QFile::exists(m_home.filePath(QStringLiteral("survey.pdf"))));

    // The save dialog vouches for the HTML only: an existing PDF is not replaced unasked.
    QFile other(m_home.filePath(QStringLiteral("survey.pdf")));
    QVERIFY(other.open(QIODevice::WriteOnly) && other.write("another survey") > 0);
    other.close();
    m_answers = {html, QVariant(int(QMessageBox::No))};
    w.form()->actionExport_Report->trigger();
    QCOMPARE(m_asked.last().kind, DialogSeam::Request::Message);
    QVERIFY(m_asked.last().text.contains(QStringLiteral("survey.pdf")));
    QVERIFY(other.open(QIODevice::ReadOnly));
    QCOMPARE(other.readAll(), QByteArray("another survey"));

    // A source removed from the list is out of the report too.
    const QByteArray burstRow = QStringLiteral("2480.0\u20132481.0 MHz").toUtf8();
    QVERIFY(text.contains(burstRow));
    dock->removeSelectedSources();
    exported(QStringLiteral("removed.html"));
    QFile removed(m_home.filePath(QStringLiteral("removed.html")));
    QVERIFY(removed.open(QIODevice::ReadOnly));
    QVERIFY(!removed.readAll().contains(burstRow));

    const int asked = m_asked.size();
    m_answers = {m_home.filePath(QStringLiteral("gone/survey.html"))};
    w.form()->actionExport_Report->trigger();
    QCOMPARE(m_asked.size(), asked + 4); // the name, the notes, the logo, the failure
    QCOMPARE(m_asked.last().icon, DialogSeam::Request::Critical);
}

QTEST_MAIN(tst_MainWindowSurvey)
#include "tst_mainwindowsurvey.moc"
