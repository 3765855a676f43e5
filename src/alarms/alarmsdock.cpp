#include "alarmsdock.h"

#include "dialogseam.h"
#include "recordingio.h"
#include "recordingui.h"

#include <QDateTime>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString timeText(qint64 ms)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

QString stateText(const AlarmEvent &e)
{
    return e.state == AlarmEvent::Start ? QStringLiteral("start") : QStringLiteral("end");
}

QString durationText(const AlarmEvent &e)
{
    return e.state == AlarmEvent::End ? QString::number(e.durationMs / 1000.0, 'f', 1) : QString();
}

// A name is the user's (or another tool's) text: quote it the CSV way, and
// keep a spreadsheet from reading it as a formula.
QString csvField(QString text)
{
    if (!text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.at(0)))
        text.prepend(QLatin1Char('\''));
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
        text = QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
               QLatin1Char('"');
    return text;
}

} // namespace

AlarmsDock::AlarmsDock(QWidget *parent) : QWidget(parent)
{
    m_table = new QTableWidget(0, 7, this);
    m_table->setObjectName(QStringLiteral("alarmTable"));
    m_table->setHorizontalHeaderLabels({tr("Time"), tr("State"), tr("Limit"), tr("Frequency (MHz)"),
                                        tr("Level (dBm)"), tr("Duration (s)"), tr("Node")});
    m_table->horizontalHeaderItem(6)->setToolTip(
        tr("The remote scanner whose sweeps raised the alarm; empty for this computer's"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_export = new QPushButton(tr("Export CSV..."), this);
    m_export->setObjectName(QStringLiteral("alarmExport"));
    auto *clearButton = new QPushButton(tr("Clear"), this);
    connect(m_export, &QPushButton::clicked, this, &AlarmsDock::exportCsv);
    connect(clearButton, &QPushButton::clicked, this, &AlarmsDock::clear);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_export);
    buttons->addWidget(clearButton);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_table);
    layout->addLayout(buttons);
}

void AlarmsDock::addEvent(const AlarmEvent &event)
{
    if (m_events.size() >= MaxRows) {
        m_events.removeFirst();
        m_table->removeRow(0);
    }
    m_events.append(event);
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    const QStringList cells = {timeText(event.timeMs),
                               stateText(event),
                               event.name,
                               QString::number(event.frequencyMHz, 'f', 3),
                               QString::number(event.levelDbm, 'f', 0),
                               durationText(event),
                               event.node};
    for (int c = 0; c < cells.size(); ++c)
        m_table->setItem(row, c, new QTableWidgetItem(cells.at(c)));
    m_table->scrollToBottom();
}

QByteArray AlarmsDock::toCsv(const QVector<AlarmEvent> &events)
{
    // The node comes last: readers of the columns before it are unaffected.
    QString csv = QStringLiteral("time,state,limit,frequency_mhz,level_dbm,duration_s,node\n");
    for (const AlarmEvent &e : events)
        csv += QStringList{timeText(e.timeMs),
                           stateText(e),
                           csvField(e.name),
                           QString::number(e.frequencyMHz, 'f', 3),
                           QString::number(e.levelDbm, 'f', 0),
                           durationText(e),
                           csvField(e.node)}
                   .join(QLatin1Char(',')) +
               QLatin1Char('\n');
    return csv.toUtf8();
}

void AlarmsDock::exportCsv()
{
    const QString title = tr("Export Alarms");
    if (m_events.isEmpty()) {
        DialogSeam::information(title, tr("There are no alarms to export."));
        return;
    }
    const QString start =
        QDir(RecordingIo::recordingDirectory())
            .filePath(QStringLiteral("alarms-") +
                      QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = RecordingUi::askSaveFileName(
        title, start, tr("CSV files:") + QStringLiteral(" *.csv"), QStringLiteral(".csv"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(toCsv(m_events)) < 0 || !file.commit()) {
        DialogSeam::critical(tr("Error"),
                             tr("The alarms could not be written as \"%1\":\n%2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    RecordingIo::rememberRecordingDirectory(path);
}

void AlarmsDock::clear()
{
    m_events.clear();
    m_table->setRowCount(0);
}
