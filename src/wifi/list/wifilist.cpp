#include "wifilist.h"

#include "checkableheader.h"
#include "wifimodel.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QSpinBox>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

static const char passiveScanKey[] = "WifiPassiveScan";
static const char adapterKey[] = "WifiAdapter";

WifiList::WifiList(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    m_filter = new QCheckBox(tr("Hide networks below"), this);
    m_filter->setObjectName(QStringLiteral("checkBoxHideBelow"));
    m_threshold = new QSpinBox(this);
    m_threshold->setObjectName(QStringLiteral("sbHideBelow"));
    m_threshold->setRange(-100, -30);
    m_threshold->setValue(-80);
    row->addWidget(m_filter);
    row->addWidget(m_threshold);
    row->addStretch();
    m_menuButton = new QToolButton(this);
    m_menuButton->setObjectName(QStringLiteral("tbWifiOptions"));
    m_menuButton->setText(tr("Scan"));
    m_menuButton->setToolTip(tr("How the Wi-Fi survey scans"));
    m_menuButton->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(m_menuButton);
    menu->setToolTipsVisible(true);
    m_passiveScan = menu->addAction(tr("Passive Wi-Fi scan"));
    m_passiveScan->setObjectName(QStringLiteral("actionPassiveWifiScan"));
    m_passiveScan->setCheckable(true);
    m_passiveScan->setChecked(passiveScan());
    const QString probeNote =
        tr("An active scan sends probe requests: the computer's own bursts then show in the "
           "measured spectrum. A passive scan only listens, and finds networks more slowly.");
    m_passiveScan->setToolTip(probeNote);
    m_adapterMenu = menu->addMenu(tr("Wi-Fi adapter"));
    m_adapterMenu->setObjectName(QStringLiteral("menuWifiAdapter"));
    m_adapterMenu->setEnabled(false);
    m_adapterGroup = new QActionGroup(m_adapterMenu);
    m_menuButton->setMenu(menu);
    row->addWidget(m_menuButton);
    layout->addLayout(row);
    connect(m_passiveScan, &QAction::toggled, this, [this](bool passive) {
        QSettings().setValue(QLatin1String(passiveScanKey), passive);
        emit passiveScanChanged(passive);
    });
    connect(m_adapterGroup, &QActionGroup::triggered, this, [this](QAction *action) {
        const QString name = action->data().toString();
        QSettings().setValue(QLatin1String(adapterKey), name);
        emit adapterChosen(name);
    });

    m_model = new WifiModel(this);
    m_proxy = new WifiProxyModel(this);
    m_proxy->setSourceModel(m_model);
    m_view = new QTreeView(this);
    m_view->setObjectName(QStringLiteral("treeViewWifi"));
    m_header = new CheckableHeader(Qt::Horizontal, m_view);
    m_view->setHeader(m_header);
    m_view->setModel(m_proxy);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setRootIsDecorated(false);
    m_view->setSortingEnabled(true);
    m_view->sortByColumn(WifiModel::RssiColumn, Qt::DescendingOrder);
    // Every header is read in full (with room for the sort arrow).
    const int widths[] = {20, 150, 50, 60, 130};
    for (int c = 0; c < WifiModel::ColumnCount; ++c) {
        const QString title = m_model->headerData(c, Qt::Horizontal).toString();
        const int needed =
            title.isEmpty() ? 0 : m_header->fontMetrics().horizontalAdvance(title) + 2 * 12 + 16;
        m_view->setColumnWidth(c, qMax(widths[c], needed));
    }
    m_view->setMinimumWidth(310);
    layout->addWidget(m_view);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblWifiStatus"));
    m_status->setToolTip(probeNote);
    m_status->hide();
    layout->addWidget(m_status);

    connect(m_filter, &QCheckBox::toggled, m_header, &CheckableHeader::setCheckboxDisable);
    connect(m_filter, &QCheckBox::toggled, this, &WifiList::onFilterEnableChanged);
    connect(m_header, &CheckableHeader::selectAllToggled, this, &WifiList::onSelectAllToggled);
    connect(m_threshold, qOverload<int>(&QSpinBox::valueChanged), this,
            &WifiList::onFilterValueChanged);
    connect(m_model, &WifiModel::dataChanged, this, &WifiList::onModelDataChanged);
}

bool WifiList::checkNew() const
{
    return m_header->state() != Qt::Unchecked;
}

template <typename Operation> void WifiList::batched(Operation operation)
{
    m_batching = true;
    m_checksTouched = false;
    const WifiScan networks = operation();
    m_batching = false;
    if (m_checksTouched)
        updateHeaderState();
    emit newNetworksToDraw(networks);
}

void WifiList::updateList(WifiScan results)
{
    batched([&] { return m_model->updateNetworks(results, checkNew()); });
}

void WifiList::loadHistory(RfSpectrumHistory hist)
{
    // Samples between two scans carry the same list: merge each list once.
    const WifiScan *previous = nullptr;
    m_batching = true;
    m_checksTouched = false;
    for (const RfSpectrumSample &sample : qAsConst(hist.samples)) {
        if (previous && *previous == sample.wifiNetworks)
            continue;
        m_model->updateNetworks(sample.wifiNetworks, checkNew());
        previous = &sample.wifiNetworks;
    }
    m_batching = false;
    if (m_checksTouched)
        updateHeaderState();
}

void WifiList::clearList()
{
    m_model->clear();
}

bool WifiList::passiveScan() const
{
    return QSettings().value(QLatin1String(passiveScanKey), false).toBool();
}

QString WifiList::chosenAdapter() const
{
    return QSettings().value(QLatin1String(adapterKey)).toString();
}

void WifiList::setSurveyStatus(const QString &text)
{
    m_status->setText(text);
    m_status->setVisible(!text.isEmpty());
}

void WifiList::setAdapters(const QStringList &names, const QString &current)
{
    for (QAction *old : m_adapterGroup->actions())
        delete old;
    for (const QString &name : names) {
        QAction *action = m_adapterMenu->addAction(name);
        action->setData(name);
        action->setCheckable(true);
        action->setChecked(name == current);
        m_adapterGroup->addAction(action);
    }
    m_adapterMenu->setEnabled(!names.isEmpty());
}

void WifiList::onFilterEnableChanged(bool enable)
{
    batched([&] { return m_model->setFilterEnabled(enable); });
}

void WifiList::onFilterValueChanged(int value)
{
    batched([&] { return m_model->setFilterThreshold(value); });
}

void WifiList::onSelectAllToggled(bool checked)
{
    batched([&] {
        m_model->setAllChecked(checked);
        return m_model->checkedNetworks();
    });
}

void WifiList::updateHeaderState()
{
    const int n = m_model->rowCount();
    if (n == 0)
        return;
    const Qt::CheckState first = m_model->row(0).checkState;
    for (int i = 1; i < n; ++i) {
        if (m_model->row(i).checkState != first) {
            m_header->setState(Qt::PartiallyChecked);
            return;
        }
    }
    m_header->setState(first);
}

void WifiList::onModelDataChanged(const QModelIndex &, const QModelIndex &,
                                  const QVector<int> &roles)
{
    if (!roles.contains(Qt::CheckStateRole) || m_model->rowCount() == 0)
        return;
    if (m_batching) {
        m_checksTouched = true;
        return;
    }
    updateHeaderState();
    emit newNetworksToDraw(m_model->checkedNetworks());
}
