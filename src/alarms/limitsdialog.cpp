#include "limitsdialog.h"

#include "dialogseam.h"
#include "recordingio.h"
#include "recordingui.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
enum Column
{
    On,
    Name,
    Band,
    Trace,
    Hold,
    Clear,
    Points,
    ColumnCount
};
enum WatchColumn
{
    WatchOn,
    WatchName,
    WatchChannel,
    WatchLevel,
    WatchPercent,
    WatchHold,
    WatchClear,
    WatchColumnCount
};
const QString fileFilter = QStringLiteral("Limit lines (*.json)");
} // namespace

LimitsDialog::LimitsDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Limit Lines"));
    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setObjectName(QStringLiteral("limitTable"));
    m_table->setHorizontalHeaderLabels({tr("On"), tr("Name"), tr("Band"), tr("Trace"),
                                        tr("Hold (s)"), tr("Clear (s)"),
                                        tr("Points (MHz dBm; ...)")});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_watchTable = new QTableWidget(0, WatchColumnCount, this);
    m_watchTable->setObjectName(QStringLiteral("watchTable"));
    m_watchTable->setHorizontalHeaderLabels({tr("On"), tr("Name"),
                                             tr("Channel (Wi-Fi N, KiVo ID N)"), tr("Level (dBm)"),
                                             tr("Busy over (%)"), tr("Hold (s)"), tr("Clear (s)")});
    m_watchTable->horizontalHeader()->setStretchLastSection(true);
    m_watchTable->verticalHeader()->hide();
    m_watchTable->setToolTip(
        tr("A watch alarms when, over the last minute, more than the given share of sweeps "
           "had a level above the given one anywhere in the channel."));
    m_tabs = new QTabWidget(this);
    m_tabs->addTab(m_table, tr("Limit lines"));
    m_tabs->addTab(m_watchTable, tr("Channel watches"));

    auto *add = new QPushButton(tr("Add"), this);
    auto *remove = new QPushButton(tr("Remove"), this);
    auto *import = new QPushButton(tr("Import..."), this);
    auto *exportButton = new QPushButton(tr("Export..."), this);
    connect(add, &QPushButton::clicked, this, [this] {
        if (m_tabs->currentWidget() == m_watchTable)
            addWatchRow();
        else
            addRow();
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        auto *table = static_cast<QTableWidget *>(m_tabs->currentWidget());
        if (table->currentRow() >= 0)
            table->removeRow(table->currentRow());
    });
    connect(import, &QPushButton::clicked, this, &LimitsDialog::importFile);
    connect(exportButton, &QPushButton::clicked, this, &LimitsDialog::exportFile);
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &LimitsDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &LimitsDialog::reject);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {add, remove, import, exportButton})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);
    layout->addWidget(box);
    resize(820, 300);
}

QString LimitsDialog::pointsText(const QVector<LimitPoint> &points)
{
    QStringList parts;
    for (const LimitPoint &p : points)
        parts << QStringLiteral("%1 %2").arg(p.frequencyMHz, 0, 'g', 10).arg(p.levelDbm, 0, 'g', 6);
    return parts.join(QStringLiteral("; "));
}

void LimitsDialog::appendRow(const LimitLine &line)
{
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    auto *on = new QTableWidgetItem;
    on->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    on->setCheckState(line.enabled ? Qt::Checked : Qt::Unchecked);
    m_table->setItem(row, On, on);
    const QStringList cells = {line.name,
                               limitBandName(line.band),
                               line.trace == LimitTrace::Max
                                   ? QStringLiteral("max %1").arg(line.maxSweeps)
                                   : QStringLiteral("current"),
                               QString::number(line.holdSeconds),
                               QString::number(line.clearSeconds),
                               pointsText(line.points)};
    for (int c = 0; c < cells.size(); ++c)
        m_table->setItem(row, Name + c, new QTableWidgetItem(cells.at(c)));
}

void LimitsDialog::setLimits(const QVector<LimitLine> &limits)
{
    m_table->setRowCount(0);
    for (const LimitLine &line : limits)
        appendRow(line);
}

void LimitsDialog::addRow()
{
    LimitLine line;
    line.name = tr("Limit %1").arg(m_table->rowCount() + 1);
    line.points = {{2400, -50}, {2500, -50}};
    appendRow(line);
}

void LimitsDialog::setChannelWatches(const QVector<ChannelWatch> &watches)
{
    m_watchTable->setRowCount(0);
    for (const ChannelWatch &watch : watches)
        appendWatchRow(watch);
}

void LimitsDialog::appendWatchRow(const ChannelWatch &watch)
{
    const int row = m_watchTable->rowCount();
    m_watchTable->insertRow(row);
    auto *on = new QTableWidgetItem;
    on->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    on->setCheckState(watch.enabled ? Qt::Checked : Qt::Unchecked);
    m_watchTable->setItem(row, WatchOn, on);
    const QStringList cells = {watch.label,
                               watch.targetText(),
                               QString::number(watch.levelDbm),
                               QString::number(watch.dutyPercent),
                               QString::number(watch.holdSeconds),
                               QString::number(watch.clearSeconds)};
    for (int c = 0; c < cells.size(); ++c)
        m_watchTable->setItem(row, WatchName + c, new QTableWidgetItem(cells.at(c)));
}

void LimitsDialog::addWatchRow()
{
    ChannelWatch watch;
    watch.setTarget(ChannelWatch::WifiChannel, 6);
    watch.label = tr("Watch %1").arg(m_watchTable->rowCount() + 1);
    watch.dutyPercent = 40;
    appendWatchRow(watch);
}

bool LimitsDialog::limits(QVector<LimitLine> *limits, QString *error) const
{
    const QByteArray json = document(error);
    return !json.isEmpty() && LimitFile::fromJson(json, limits, error);
}

bool LimitsDialog::limits(QVector<LimitLine> *limits, QVector<ChannelWatch> *watches,
                          QString *error) const
{
    const QByteArray json = document(error);
    return !json.isEmpty() && LimitFile::fromJson(json, limits, watches, error);
}

QByteArray LimitsDialog::document(QString *error) const
{
    // The rows become a limit file and are read as one: the same checks and
    // the same words for what is wrong.
    QJsonArray array;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        auto text = [&](int column) {
            const QTableWidgetItem *item = m_table->item(row, column);
            return item ? item->text().trimmed() : QString();
        };
        QJsonObject o;
        o.insert(QStringLiteral("name"), text(Name));
        o.insert(QStringLiteral("band"), text(Band));
        o.insert(QStringLiteral("enabled"),
                 m_table->item(row, On) && m_table->item(row, On)->checkState() == Qt::Checked);
        const QStringList trace = text(Trace).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        o.insert(QStringLiteral("trace"), trace.value(0));
        if (trace.size() > 1)
            o.insert(QStringLiteral("maxSweeps"), trace.at(1).toInt());
        bool okHold = false, okClear = false;
        o.insert(QStringLiteral("holdSeconds"), text(Hold).toDouble(&okHold));
        o.insert(QStringLiteral("clearSeconds"), text(Clear).toDouble(&okClear));
        if (!okHold || !okClear) {
            *error = tr("Row %1: the hold and clear times are seconds.").arg(row + 1);
            return {};
        }
        QJsonArray points;
        for (const QString &pair : text(Points).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QStringList xy = pair.simplified().split(QLatin1Char(' '));
            bool okF = false, okL = false;
            const double f = xy.value(0).toDouble(&okF);
            const double l = xy.value(1).toDouble(&okL);
            if (xy.size() != 2 || !okF || !okL) {
                *error = tr("Row %1: \"%2\" is not a frequency (MHz) and a level (dBm).")
                             .arg(row + 1)
                             .arg(pair.trimmed());
                return {};
            }
            points.append(QJsonArray{f, l});
        }
        o.insert(QStringLiteral("points"), points);
        array.append(o);
    }
    QJsonArray watchArray;
    for (int row = 0; row < m_watchTable->rowCount(); ++row) {
        auto text = [&](int column) {
            const QTableWidgetItem *item = m_watchTable->item(row, column);
            return item ? item->text().trimmed() : QString();
        };
        const auto which = [&] {
            return text(WatchName).isEmpty()
                       ? tr("Watch %1").arg(row + 1)
                       : tr("Watch %1 (\"%2\")").arg(row + 1).arg(text(WatchName));
        };
        QJsonObject o;
        o.insert(QStringLiteral("name"), text(WatchName));
        o.insert(QStringLiteral("enabled"),
                 m_watchTable->item(row, WatchOn) &&
                     m_watchTable->item(row, WatchOn)->checkState() == Qt::Checked);
        ChannelWatch target;
        QString problem;
        static const QRegularExpression range(
            QStringLiteral(R"(^([0-9.]+)\s*-\s*([0-9.]+)\s*(MHz)?$)"),
            QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch m = range.match(text(WatchChannel));
        if (m.hasMatch()) {
            // A watch on a plain range, as one from a file may be.
            const double low = m.captured(1).toDouble();
            o.insert(QStringLiteral("band"),
                     low < 1000 ? QStringLiteral("900") : QStringLiteral("2400"));
            o.insert(QStringLiteral("lowMHz"), low);
            o.insert(QStringLiteral("highMHz"), m.captured(2).toDouble());
        } else if (!target.setTargetText(text(WatchChannel), &problem)) {
            *error = tr("%1: %2.").arg(which(), problem);
            return {};
        } else {
            o.insert(target.target == ChannelWatch::KivoId ? QStringLiteral("kivoId")
                                                           : QStringLiteral("wifiChannel"),
                     target.channel);
        }
        bool ok[4] = {};
        o.insert(QStringLiteral("levelDbm"), text(WatchLevel).toDouble(&ok[0]));
        o.insert(QStringLiteral("percent"), text(WatchPercent).toDouble(&ok[1]));
        o.insert(QStringLiteral("holdSeconds"), text(WatchHold).toDouble(&ok[2]));
        o.insert(QStringLiteral("clearSeconds"), text(WatchClear).toDouble(&ok[3]));
        if (!ok[0] || !ok[1] || !ok[2] || !ok[3]) {
            *error = tr("%1: the level, the share and the times are numbers.").arg(which());
            return {};
        }
        watchArray.append(o);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("limits"), array},
                                     {QStringLiteral("watches"), watchArray}})
        .toJson();
}

void LimitsDialog::accept()
{
    QVector<LimitLine> lines;
    QVector<ChannelWatch> watches;
    QString error;
    if (!limits(&lines, &watches, &error)) {
        DialogSeam::warning(windowTitle(), error);
        return;
    }
    QDialog::accept();
}

void LimitsDialog::importFile()
{
    DialogSeam::Request request;
    request.kind = DialogSeam::Request::OpenFileName;
    request.title = tr("Import Limit Lines");
    request.value = RecordingIo::recordingDirectory();
    request.filter = fileFilter;
    const QString path = DialogSeam::ask(request).toString();
    if (path.isEmpty())
        return;
    QVector<LimitLine> lines;
    QVector<ChannelWatch> watches;
    QString error;
    if (!LimitFile::load(path, &lines, &watches, &error)) {
        DialogSeam::warning(
            request.title,
            tr("\"%1\" was not imported:\n%2").arg(QDir::toNativeSeparators(path), error));
        return;
    }
    for (const LimitLine &line : qAsConst(lines))
        appendRow(line);
    for (const ChannelWatch &watch : qAsConst(watches))
        appendWatchRow(watch);
}

void LimitsDialog::exportFile()
{
    const QString title = tr("Export Limit Lines");
    QVector<LimitLine> lines;
    QVector<ChannelWatch> watches;
    QString error;
    if (!limits(&lines, &watches, &error)) {
        DialogSeam::warning(title, error);
        return;
    }
    const QString path = RecordingUi::askSaveFileName(
        title, QDir(RecordingIo::recordingDirectory()).filePath(QStringLiteral("limits")),
        fileFilter, QStringLiteral(".json"));
    if (path.isEmpty())
        return;
    if (!LimitFile::save(path, lines, watches, &error))
        DialogSeam::critical(tr("Error"), tr("The limit lines could not be written as \"%1\":\n%2")
                                              .arg(QDir::toNativeSeparators(path), error));
}
