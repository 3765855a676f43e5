#include "utilizationdock.h"

#include "analysislog.h"
#include "burstsourcemodel.h"
#include "utilizationmodel.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

UtilizationDock::UtilizationDock(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    m_cbAutoThreshold = new QCheckBox(tr("Floor + 10 dB"), this);
    m_cbAutoThreshold->setObjectName(QStringLiteral("cbAutoThreshold"));
    m_cbAutoThreshold->setChecked(true);
    m_dsbThreshold = new QDoubleSpinBox(this);
    m_dsbThreshold->setObjectName(QStringLiteral("dsbThreshold"));
    m_dsbThreshold->setRange(-127, 127);
    m_dsbThreshold->setDecimals(0);
    m_dsbThreshold->setSuffix(tr(" dBm"));
    m_dsbThreshold->setValue(-80);
    m_dsbThreshold->setEnabled(false);
    m_lblFloor = new QLabel(this);
    m_lblFloor->setObjectName(QStringLiteral("lblFloor"));
    row->addWidget(new QLabel(tr("Threshold:"), this));
    row->addWidget(m_cbAutoThreshold);
    row->addWidget(m_dsbThreshold);
    row->addWidget(m_lblFloor, 1);
    layout->addLayout(row);

    m_lblRange = new QLabel(this);
    m_lblRange->setObjectName(QStringLiteral("lblRange"));
    m_lblRange->setWordWrap(true);
    layout->addWidget(m_lblRange);

    m_lblRecommendation = new QLabel(this);
    m_lblRecommendation->setObjectName(QStringLiteral("lblRecommendation"));
    m_lblRecommendation->setWordWrap(true);
    layout->addWidget(m_lblRecommendation);

    auto *counting = new QHBoxLayout;
    m_lblCounting = new QLabel(this);
    m_lblCounting->setObjectName(QStringLiteral("lblCounting"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("pbarCounting"));
    m_progress->setRange(0, 1000);
    m_pbCount = new QPushButton(tr("Cancel"), this);
    m_pbCount->setObjectName(QStringLiteral("pbCount"));
    counting->addWidget(m_lblCounting);
    counting->addWidget(m_progress, 1);
    counting->addWidget(m_pbCount);
    layout->addLayout(counting);
    m_lblCounting->hide();
    m_progress->hide();
    m_pbCount->hide();
    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(100);
    connect(m_progressTimer, &QTimer::timeout, this, [this] {
        // A short count ends before anyone would read a bar.
        if (QDateTime::currentMSecsSinceEpoch() - m_countStartMs < ProgressDelayMs)
            return;
        const int total = m_total.load();
        m_progress->setValue(total > 0 ? int(qint64(m_done.load()) * 1000 / total) : 0);
        m_lblCounting->show();
        m_progress->show();
        m_pbCount->show();
    });
    connect(m_pbCount, &QPushButton::clicked, this, [this] {
        if (m_counting) {
            cancelCounting();
            return;
        }
        m_paused = false;
        m_stale = true;
        m_pbCount->hide();
        m_lblCounting->hide();
        analyse();
    });

    m_model = new UtilizationModel(this);
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(m_model);
    m_proxy->setSortRole(Qt::UserRole);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("tvUtilization"));
    m_view->setModel(m_proxy);
    m_view->setSortingEnabled(true);
    m_view->sortByColumn(UtilizationModel::ChannelColumn, Qt::AscendingOrder);
    m_view->verticalHeader()->hide();
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_view);
    split->addWidget(buildSourcesPanel());
    layout->addWidget(split, 1);

    // What Find bursts looks for; kept here beside the threshold it resembles.
    const BurstOptions defaults;
    auto *bursts = new QHBoxLayout;
    m_dsbBurstMargin = new QDoubleSpinBox(this);
    m_dsbBurstMargin->setObjectName(QStringLiteral("dsbBurstMargin"));
    m_dsbBurstMargin->setRange(1, 100);
    m_dsbBurstMargin->setDecimals(0);
    m_dsbBurstMargin->setValue(defaults.marginDb);
    m_dsbBurstMargin->setSuffix(tr(" dB above floor"));
    m_sbBurstBins = new QSpinBox(this);
    m_sbBurstBins->setObjectName(QStringLiteral("sbBurstBins"));
    m_sbBurstBins->setRange(1, 500);
    m_sbBurstBins->setValue(defaults.minBins);
    m_sbBurstBins->setSuffix(tr(" points"));
    m_sbBurstSweeps = new QSpinBox(this);
    m_sbBurstSweeps->setObjectName(QStringLiteral("sbBurstSweeps"));
    m_sbBurstSweeps->setRange(1, 10000);
    m_sbBurstSweeps->setValue(defaults.minSweeps);
    m_sbBurstSweeps->setSuffix(tr(" sweeps"));
    bursts->addWidget(new QLabel(tr("Bursts:"), this));
    bursts->addWidget(m_dsbBurstMargin);
    bursts->addWidget(m_sbBurstBins);
    bursts->addWidget(m_sbBurstSweeps);
    bursts->addStretch(1);
    layout->addLayout(bursts);

    connect(m_model, &UtilizationModel::kivoIdTicked, this, &UtilizationDock::kivoIdTicked);
    connect(m_cbAutoThreshold, &QCheckBox::toggled, this, [this](bool automatic) {
        m_dsbThreshold->setEnabled(!automatic);
        if (!automatic && !qIsNaN(result().thresholdDbm))
            m_dsbThreshold->setValue(result().thresholdDbm);
        m_stale = true;
        analyse();
    });
    connect(m_dsbThreshold, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this] {
        m_stale = true;
        analyse();
    });
}

QWidget *UtilizationDock::buildSourcesPanel()
{
    auto *panel = new QWidget(this);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    m_lblSources = new QLabel(tr("Find bursts lists what the bursts come from here."), panel);
    m_lblSources->setObjectName(QStringLiteral("lblSources"));
    m_lblSources->setWordWrap(true);
    layout->addWidget(m_lblSources);

    m_sources = new BurstSourceModel(this);
    m_sourceFilter = new BurstSourceFilter(this);
    m_sourceFilter->setSourceModel(m_sources);
    m_sourceFilter->setSortRole(Qt::UserRole);
    auto *filter = new QHBoxLayout;
    m_sbMinLevel = new QSpinBox(panel);
    m_sbMinLevel->setObjectName(QStringLiteral("sbSourceLevel"));
    m_sbMinLevel->setRange(NoDataLevel, 127);
    m_sbMinLevel->setSpecialValueText(tr("any"));
    m_sbMinLevel->setValue(NoDataLevel);
    m_sbMinLevel->setSuffix(tr(" dBm"));
    m_dsbMinDuration = new QDoubleSpinBox(panel);
    m_dsbMinDuration->setObjectName(QStringLiteral("dsbSourceDuration"));
    m_dsbMinDuration->setRange(0, 86400);
    m_dsbMinDuration->setDecimals(1);
    m_dsbMinDuration->setSuffix(tr(" s"));
    m_dsbSpanLow = new QDoubleSpinBox(panel);
    m_dsbSpanLow->setObjectName(QStringLiteral("dsbSourceLow"));
    m_dsbSpanHigh = new QDoubleSpinBox(panel);
    m_dsbSpanHigh->setObjectName(QStringLiteral("dsbSourceHigh"));
    for (QDoubleSpinBox *edge : {m_dsbSpanLow, m_dsbSpanHigh}) {
        edge->setRange(0, 6000);
        edge->setDecimals(1);
        edge->setSuffix(tr(" MHz"));
    }
    m_dsbSpanHigh->setValue(6000);
    filter->addWidget(new QLabel(tr("Level \u2265"), panel));
    filter->addWidget(m_sbMinLevel);
    filter->addWidget(new QLabel(tr("Duration \u2265"), panel));
    filter->addWidget(m_dsbMinDuration);
    filter->addWidget(new QLabel(tr("Span"), panel));
    filter->addWidget(m_dsbSpanLow);
    filter->addWidget(new QLabel(QStringLiteral("\u2013"), panel));
    filter->addWidget(m_dsbSpanHigh);
    filter->addStretch(1);
    layout->addLayout(filter);
    const auto refilter = [this] {
        m_sourceFilter->setMinimumLevel(m_sbMinLevel->value());
        m_sourceFilter->setMinimumDurationMs(qint64(m_dsbMinDuration->value() * 1000));
        m_sourceFilter->setSpan(m_dsbSpanLow->value(), m_dsbSpanHigh->value());
    };
    connect(m_sbMinLevel, QOverload<int>::of(&QSpinBox::valueChanged), this, refilter);
    for (QDoubleSpinBox *box : {m_dsbMinDuration, m_dsbSpanLow, m_dsbSpanHigh})
        connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, refilter);

    m_sourceView = new QTableView(panel);
    m_sourceView->setObjectName(QStringLiteral("tvSources"));
    m_sourceView->setModel(m_sourceFilter);
    m_sourceView->setSortingEnabled(true);
    m_sourceView->sortByColumn(BurstSourceModel::FromColumn, Qt::AscendingOrder);
    m_sourceView->verticalHeader()->hide();
    m_sourceView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_sourceView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_sourceView->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_sourceView->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_sourceView, 1);

    auto *buttons = new QHBoxLayout;
    auto *add = new QPushButton(tr("Add as events"), panel);
    add->setObjectName(QStringLiteral("pbSourcesAsEvents"));
    add->setToolTip(tr("Mark the selected sources on the waterfall: occupied spectrum once, "
                       "every burst of the others"));
    auto *remove = new QPushButton(tr("Remove"), panel);
    remove->setObjectName(QStringLiteral("pbSourcesRemove"));
    remove->setToolTip(tr("Take the selected sources out of the list and out of the report"));
    buttons->addStretch(1);
    buttons->addWidget(add);
    buttons->addWidget(remove);
    layout->addLayout(buttons);
    connect(add, &QPushButton::clicked, this, &UtilizationDock::addSelectedSourcesAsEvents);
    connect(remove, &QPushButton::clicked, this, &UtilizationDock::removeSelectedSources);
    return panel;
}

void UtilizationDock::setBurstSources(const QVector<BurstSource> &sources, int bursts,
                                      const QwtInterval &band)
{
    const QVector<BurstSource> kept = keptSources(sources);
    m_sources->setSources(kept);
    {
        // One filter pass for both edges, not one per edge.
        const QSignalBlocker low(m_dsbSpanLow);
        const QSignalBlocker high(m_dsbSpanHigh);
        m_dsbSpanLow->setValue(band.isValid() ? band.minValue() : 0);
        m_dsbSpanHigh->setValue(band.isValid() ? band.maxValue() : 6000);
    }
    m_sourceFilter->setSpan(m_dsbSpanLow->value(), m_dsbSpanHigh->value());
    QString text = tr("%1 bursts from %2 sources.").arg(bursts).arg(kept.size());
    if (kept.size() < sources.size())
        text += QLatin1Char(' ') +
                tr("%1 removed before are left out.").arg(sources.size() - kept.size());
    m_lblSources->setText(text);
}

QList<int> UtilizationDock::selectedSourceRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_sourceView->selectionModel()->selectedRows())
        rows.append(m_sourceFilter->mapToSource(index).row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void UtilizationDock::addSelectedSourcesAsEvents()
{
    QList<TimeEvent> events;
    for (int row : selectedSourceRows())
        events += m_sources->sources().at(row).timeEvents();
    if (!events.isEmpty())
        emit burstEventsAdded(events);
}

void UtilizationDock::removeSelectedSources()
{
    const QVector<BurstSource> removed = m_sources->takeRows(selectedSourceRows());
    m_removed += removed;
    if (!removed.isEmpty())
        qCInfo(lcAnalysis) << "bursts:" << removed.size() << "sources removed from the list";
}

QVector<BurstSource> UtilizationDock::keptSources(const QVector<BurstSource> &sources) const
{
    QVector<BurstSource> kept;
    for (const BurstSource &s : sources) {
        if (std::none_of(m_removed.cbegin(), m_removed.cend(),
                         [&](const BurstSource &r) { return sameSource(r, s); }))
            kept.append(s);
    }
    return kept;
}

UtilizationDock::~UtilizationDock()
{
    stopWorker();
}

double UtilizationDock::thresholdDbm() const
{
    return m_cbAutoThreshold->isChecked() ? qQNaN() : m_dsbThreshold->value();
}

BurstOptions UtilizationDock::burstOptions() const
{
    BurstOptions o;
    o.marginDb = m_dsbBurstMargin->value();
    o.minBins = m_sbBurstBins->value();
    o.minSweeps = m_sbBurstSweeps->value();
    return o;
}

const UtilizationResult &UtilizationDock::result() const
{
    return m_model->result();
}

void UtilizationDock::setSelection(const RfSpectrumSampleList &selection,
                                   const QwtInterval &frequencyInterval, bool whole,
                                   const RfSpectrumSampleList &history)
{
    m_band = frequencyInterval;
    m_whole = whole;
    m_stale = true;
    // A list held here shares the page's: every sweep the page appends
    // would then copy the whole history. It is held only until analysed
    // (or while counting); a hidden or paused dock asks again when needed.
    if ((!isVisible() || m_paused) && !m_counting) {
        releaseSelection();
        return;
    }
    m_selection = selection;
    m_history = whole ? RfSpectrumSampleList() : history;
    analyse();
}

void UtilizationDock::releaseSelection()
{
    m_selection.clear();
    m_history.clear();
}

void UtilizationDock::clear()
{
    stopWorker();
    m_paused = false;
    m_lblCounting->hide();
    m_progress->hide();
    m_pbCount->hide();
    releaseSelection();
    m_analyzer.clear();
    m_sources->setSources({});
    m_lblSources->setText(tr("Find bursts lists what the bursts come from here."));
    m_model->setResult(UtilizationResult());
    m_lblFloor->clear();
    m_lblRange->clear();
    m_lblRecommendation->clear();
    m_stale = false;
}

void UtilizationDock::cancelCounting()
{
    if (m_counting)
        m_cancel = true;
}

void UtilizationDock::stopWorker()
{
    ++m_generation; // what the worker reports now is stale
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
    m_counting = false;
    m_progressTimer->stop();
}

void UtilizationDock::startCounting()
{
    m_counting = true;
    m_cancel = false;
    m_done = 0;
    m_total = history().size();
    m_countStartMs = QDateTime::currentMSecsSinceEpoch();
    m_lblCounting->setText(tr("Counting %1 sweeps\u2026").arg(m_total.load()));
    m_pbCount->setText(tr("Cancel"));
    m_progress->setValue(0);
    m_progressTimer->start();
    qCInfo(lcAnalysis) << "utilization: counting" << m_total.load() << "sweeps in the background";
    const int generation = ++m_generation;
    // The worker holds its own copy of the list (shared storage) and is the
    // only user of the analyzer until it reports back.
    m_worker = std::thread([this, list = history(), generation] {
        const bool complete = m_analyzer.follow(list, [this](int done, int total) {
            m_done = done;
            m_total = total;
            return !m_cancel.load();
        });
        QMetaObject::invokeMethod(
            this, [this, complete, generation] { countingEnded(generation, complete); },
            Qt::QueuedConnection);
    });
}

void UtilizationDock::countingEnded(int generation, bool complete)
{
    if (generation != m_generation)
        return;
    if (m_worker.joinable())
        m_worker.join();
    m_counting = false;
    m_progressTimer->stop();
    m_progress->hide();
    if (!complete) {
        qCInfo(lcAnalysis) << "utilization: counting cancelled after" << m_done.load() << "of"
                           << m_total.load() << "sweeps; the last result stays";
        m_paused = true;
        releaseSelection();
        m_lblCounting->setText(tr("Cancelled: the result shown is the last one."));
        m_lblCounting->show();
        m_pbCount->setText(tr("Analyse"));
        m_pbCount->show();
        return;
    }
    m_lblCounting->hide();
    m_pbCount->hide();
    analyse();
}

void UtilizationDock::setKivoIdTicked(int kivoId, bool ticked)
{
    m_model->setKivoIdTicked(kivoId, ticked);
}

void UtilizationDock::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    analyse();
}

void UtilizationDock::analyse()
{
    if (!m_stale || !isVisible() || m_counting || m_paused)
        return;
    if (m_selection.isEmpty()) {
        // Answered (or not, for a page without sweeps) by setSelection().
        if (!m_wanting) {
            m_wanting = true;
            emit selectionWanted();
            m_wanting = false;
        }
        return;
    }
    const RfSpectrumSampleList &list = history();
    if (!list.isEmpty() && m_analyzer.pendingFor(list) >= BackgroundSweeps) {
        startCounting();
        return;
    }
    m_stale = false;
    const UtilizationResult r =
        m_analyzer.update(m_selection, m_band, thresholdDbm(), list.isEmpty() ? nullptr : &list);
    m_model->setResult(r);
    if (r.noiseFloorDbm == NoDataLevel)
        m_lblFloor->setText(tr("no data"));
    else
        m_lblFloor->setText(
            tr("floor %1 dBm, at or above %2 dBm counts").arg(r.noiseFloorDbm).arg(r.thresholdDbm));
    m_lblRecommendation->setText(r.recommendationText());
    const QString from = QDateTime::fromMSecsSinceEpoch(m_selection.constFirst().timeStamp)
                             .toString(QStringLiteral("hh:mm:ss"));
    const QString to = QDateTime::fromMSecsSinceEpoch(m_selection.constLast().timeStamp)
                           .toString(QStringLiteral("hh:mm:ss"));
    m_lblRange->setText((m_whole ? tr("Whole capture: %1 to %2, %3 sweeps")
                                 : tr("Range chosen on the time bar: %1 to %2, %3 sweeps"))
                            .arg(from, to)
                            .arg(m_selection.size()));
    releaseSelection();
    emit analysed();
}
