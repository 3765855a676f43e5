#include "utilizationdock.h"

#include "utilizationmodel.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
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
    layout->addWidget(m_view, 1);

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
                                   const QwtInterval &frequencyInterval, bool whole)
{
    m_selection = selection;
    m_band = frequencyInterval;
    m_whole = whole;
    m_stale = true;
    analyse();
}

void UtilizationDock::clear()
{
    m_selection.clear();
    m_analyzer.clear();
    m_model->setResult(UtilizationResult());
    m_lblFloor->clear();
    m_lblRange->clear();
    m_lblRecommendation->clear();
    m_stale = false;
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
    if (!m_stale || !isVisible() || m_selection.isEmpty())
        return;
    m_stale = false;
    const UtilizationResult r = m_analyzer.update(m_selection, m_band, thresholdDbm());
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
}
