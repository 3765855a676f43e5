#include "tabpage2400.h"

#include "bandparameters.h"
#include "clock.h"
#include "rangeslider.h"
#include "spectroplot.h"
#include "waterfallplot.h"
#include "wifilist.h"
#include "wifiscanbackend.h"
#include "wifiscanhelper.h"

#include <QAction>
#include <QDateTime>
#include <QToolBar>

TabPage2400::TabPage2400(const PageActions &actions, QWidget *parent) : TabPage(actions, parent)
{
    m_wifiList = actions.wifiListWidget;
    initLive(rfParams2400());
    setUpChannels();
    m_scanTimer.setSingleShot(true);
    connect(&m_scanTimer, &QTimer::timeout, this, &TabPage2400::startWifiScan);
    m_wifi = new WifiScanHelper(this);
    connectSurveyMenu();
    onWifiAvailableChanged(m_wifi->wifiAvailable());
    connect(m_wifi, &WifiScanHelper::wifiAvailableChanged, this,
            &TabPage2400::onWifiAvailableChanged);
}

TabPage2400::TabPage2400(const PageActions &actions, FedRemotely, QWidget *parent)
    : TabPage(actions, parent), m_wifiList(actions.wifiListWidget)
{
    initLive(rfParams2400());
    setUpChannels();
}

TabPage2400::TabPage2400(const RfSpectrumHistory &recorded, const PageActions &actions,
                         QWidget *parent)
    : TabPage(actions, parent), m_wifiList(actions.wifiListWidget)
{
    initRecorded(recorded);
    // A recording scans nothing, so it needs no scanner of its own. Its list
    // is loaded when the page is shown: a recording opened behind the live
    // page must not replace the live networks.
    if (!recorded.samples.isEmpty() && !recorded.samples.constLast().wifiNetworks.isEmpty())
        addWifiActions();
    setUpChannels();
}

void TabPage2400::connectSurveyMenu()
{
    if (!m_wifiList)
        return;
    WifiScanBackend *backend = m_wifi->backend();
    backend->setPassiveScan(m_wifiList->passiveScan());
    if (!m_wifiList->chosenAdapter().isEmpty())
        backend->setAdapter(m_wifiList->chosenAdapter());
    const auto showStatus = [this, backend] {
        m_wifiList->setSurveyStatus(backend->surveyStatus());
        m_wifiList->setAdapters(backend->adapters(), backend->adapter());
    };
    showStatus();
    connect(backend, &WifiScanBackend::statusChanged, this, showStatus);
    connect(m_wifiList, &WifiList::passiveScanChanged, backend, &WifiScanBackend::setPassiveScan);
    connect(m_wifiList, &WifiList::adapterChosen, backend, &WifiScanBackend::setAdapter);
}

void TabPage2400::setUpChannels()
{
    spectroPlot()->enableAxis(QwtPlot::xTop);
    waterfallPlot()->enableAxis(QwtPlot::xTop);
    if (QAction *toggle = m_actions.toggleChannels) {
        connect(toggle, &QAction::triggered, this, &TabPage2400::onActionToggleChannelsToggled);
        toolBar()->insertAction(m_actions.kivoIds, toggle);
        toolBar()->insertSeparator(m_actions.kivoIds);
    }
}

void TabPage2400::addWifiActions()
{
    m_wifiOffered = true;
    m_showWifi = m_actions.showWifi;
    m_wifiListAction = m_actions.wifiList;
    toolBar()->addSeparator();
    if (m_showWifi) {
        toolBar()->addAction(m_showWifi);
        connect(m_showWifi, &QAction::toggled, this, &TabPage2400::onActionShowWifiToggled);
    }
    if (m_wifiListAction)
        toolBar()->addAction(m_wifiListAction);
    if (m_wifiList)
        connect(m_wifiList, &WifiList::newNetworksToDraw, this, &TabPage2400::updateWifisToDraw);
    connect(timeBar(), &RangeSlider::upperValueChanged, this, &TabPage2400::showWifiAtTimeBar);
}

void TabPage2400::onNewSpecScan(qint64 timeStamp, RfSpectrumScan spectrum)
{
    // The newest Wi-Fi survey travels forward from sweep to sweep; a result
    // that came while no sweep was taken starts the next one.
    const WifiScan networks = m_hasUnattachedScan ? m_unattachedScan : m_history.lastWifiNetworks();
    m_hasUnattachedScan = false;
    m_unattachedScan.clear();
    addNewSpectrumSample(RfSpectrumSample(timeStamp, spectrum, networks));
}

bool TabPage2400::isBandKivoId(int kivoId)
{
    return kivoId >= 24000;
}

void TabPage2400::kivoIdSelection(QList<int> kivoIds)
{
    QList<int> ours;
    for (int id : kivoIds)
        if (isBandKivoId(id))
            ours.append(id);
    m_kivoIdOverlay.setSelection(ours);
}

void TabPage2400::kivoIdSelected(int kivoId)
{
    if (isBandKivoId(kivoId))
        m_kivoIdOverlay.select(kivoId);
}

void TabPage2400::kivoIdDeselected(int kivoId)
{
    if (isBandKivoId(kivoId))
        m_kivoIdOverlay.deselect(kivoId);
}

void TabPage2400::onActionToggleChannelsToggled()
{
    // Every 2.4 GHz page hears the shared action; the page on screen owns the
    // text, the others follow it when they are shown.
    QAction *toggle = m_actions.toggleChannels;
    if (!toggle || !isVisible())
        return;
    const bool zigBee = toggle->text() == tr("Wi-Fi Chan.");
    toggle->setText(zigBee ? tr("ZigBee Chan.") : tr("Wi-Fi Chan."));
    spectroPlot()->setWifiZigBee(zigBee);
    waterfallPlot()->setWifiZigBee(zigBee);
}

void TabPage2400::onWifiAvailableChanged(bool avail)
{
    if (!avail || m_wifiOffered || !m_wifi)
        return;
    addWifiActions();
    connect(m_wifi, &WifiScanHelper::scanDone, this, &TabPage2400::onWifiScanDone);
    connect(m_wifi, &WifiScanHelper::scanFailed, this, &TabPage2400::onWifiScanFailed);
    m_scanClock.start();
    startWifiScan();
}

int TabPage2400::nextScanDelayMs(qint64 elapsedMs)
{
    return elapsedMs >= ScanIntervalMs ? 0 : int(ScanIntervalMs - elapsedMs);
}

void TabPage2400::startWifiScan()
{
    m_scanRequestedMs = Clock::nowMs();
    m_scanOutstanding = true;
    m_wifi->startScan();
}

void TabPage2400::scheduleNextScan()
{
    const int delay = nextScanDelayMs(m_scanClock.elapsed());
    if (delay > 0) {
        m_scanTimer.start(delay);
        return;
    }
    m_scanClock.restart();
    startWifiScan();
}

void TabPage2400::onWifiScanDone(WifiScan results)
{
    // Only a sweep taken after the request may carry the result: after Stop,
    // or while the other band is scanned, the newest sample is old.
    if (m_history.sampleCount() > 0 &&
        m_history.samples().constLast().timeStamp > m_scanRequestedMs) {
        m_history.setLastWifiNetworks(results);
        m_hasUnattachedScan = false;
        m_unattachedScan.clear();
    } else {
        m_unattachedScan = results;
        m_hasUnattachedScan = true;
    }
    // The system's own scans bring results too; they start no scans of ours.
    if (!m_scanOutstanding)
        return;
    m_scanOutstanding = false;
    scheduleNextScan();
}

void TabPage2400::onWifiScanFailed()
{
    if (!m_scanOutstanding)
        return;
    m_scanOutstanding = false;
    scheduleNextScan();
}

void TabPage2400::showWifiAtTimeBar()
{
    // The list belongs to the page on screen.
    if (!m_wifiList || !isVisible())
        return;
    const qint64 upper = timeBar()->upperValue();
    if (upper < 1 || upper > m_history.sampleCount())
        return;
    const WifiScan &scan = m_history.samples().at(int(upper - 1)).wifiNetworks;
    // Sweeps between two scans carry the same list: nothing new to show.
    if (m_listed && scan == m_listedScan)
        return;
    m_listedScan = scan;
    m_listed = true;
    m_wifiList->updateList(scan);
}

void TabPage2400::updateWifisToDraw(WifiScan networks)
{
    if (!isVisible() || !m_showWifi || !m_showWifi->isChecked())
        return;
    spectroPlot()->setWifiData(networks);
    spectroPlot()->replot();
}

void TabPage2400::clearWifiOverlay()
{
    spectroPlot()->clearWifiData();
    spectroPlot()->replot();
}

void TabPage2400::onActionShowWifiToggled(bool checked)
{
    if (!isVisible())
        return;
    if (!checked || m_history.sampleCount() == 0) {
        clearWifiOverlay();
        return;
    }
    m_listed = false;
    showWifiAtTimeBar();
}

void TabPage2400::showEvent(QShowEvent *event)
{
    TabPage::showEvent(event);
    if (QAction *toggle = m_actions.toggleChannels) {
        const bool zigBee = toggle->text() != tr("Wi-Fi Chan.");
        spectroPlot()->setWifiZigBee(zigBee);
        waterfallPlot()->setWifiZigBee(zigBee);
    }
    if (!m_wifiList)
        return;
    m_wifiList->clearList();
    m_wifiList->loadHistory(history());
    m_listed = false;
    if (!m_showWifi || !isVisible())
        return;
    if (m_showWifi->isChecked() && m_history.sampleCount() > 0)
        showWifiAtTimeBar();
    else
        clearWifiOverlay();
}
