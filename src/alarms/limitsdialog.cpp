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

    auto *add = new QPushButton(tr("Add"), this);
    auto *remove = new QPushButton(tr("Remove"), this);
    auto *import = new QPushButton(tr("Import..."), this);
    auto *exportButton = new QPushButton(tr("Export..."), this);
    connect(add, &QPushButton::clicked, this, &LimitsDialog::addRow);
    connect(remove, &QPushButton::clicked, this, [this] {
        if (m_table->currentRow() >= 0)
            m_table->removeRow(m_table->currentRow());
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
    layout->addWidget(m_table);
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

bool LimitsDialog::limits(QVector<LimitLine> *limits, QString *error) const
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
            return false;
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
                return false;
            }
            points.append(QJsonArray{f, l});
        }
        o.insert(QStringLiteral("points"), points);
        array.append(o);
    }
    const QByteArray json = QJsonDocument(QJsonObject{{QStringLiteral("limits"), array}}).toJson();
    return LimitFile::fromJson(json, limits, error);
}

void LimitsDialog::accept()
{
    QVector<LimitLine> lines;
    QString error;
    if (!limits(&lines, &error)) {
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
    QString error;
    if (!LimitFile::load(path, &lines, &error)) {
        DialogSeam::warning(
            request.title,
            tr("\"%1\" was not imported:\n%2").arg(QDir::toNativeSeparators(path), error));
        return;
    }
    for (const LimitLine &line : qAsConst(lines))
        appendRow(line);
}

void LimitsDialog::exportFile()
{
    const QString title = tr("Export Limit Lines");
    QVector<LimitLine> lines;
    QString error;
    if (!limits(&lines, &error)) {
        DialogSeam::warning(title, error);
        return;
    }
    const QString path = RecordingUi::askSaveFileName(
        title, QDir(RecordingIo::recordingDirectory()).filePath(QStringLiteral("limits")),
        fileFilter, QStringLiteral(".json"));
    if (path.isEmpty())
        return;
    if (!LimitFile::save(path, lines, &error))
        DialogSeam::critical(tr("Error"), tr("The limit lines could not be written as \"%1\":\n%2")
                                              .arg(QDir::toNativeSeparators(path), error));
}
