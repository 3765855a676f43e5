#pragma once

#include "tabpage.h"
#include "wifiapinfo.h"

#include <QElapsedTimer>
#include <QTimer>

class WifiScanHelper;

// The 2.4 GHz page adds the channel scales and the Wi-Fi survey: scans every
// 4 s while Wi-Fi is available, stores each result with the newest sample,
// feeds the shared Wi-Fi list with the networks under the time bar and draws
// the ticked ones.
//
// Several 2.4 GHz pages (the live one and recordings) share the list and the
// main window's actions; only the page on screen drives them.
class TabPage2400 : public TabPage
{
    Q_OBJECT
public:
    //! A scan starts at most this often, measured from the clock's start.
    static constexpr int ScanIntervalMs = 4000;

    //! The live page of the band.
    explicit TabPage2400(const PageActions &actions, QWidget *parent = nullptr);
    //! Marks the live page of a scanner elsewhere (a node on the network).
    struct FedRemotely
    {
    };
    //! A live page whose sweeps come from a scanner elsewhere: this
    //! computer's Wi-Fi survey would attach networks the scanner never heard.
    TabPage2400(const PageActions &actions, FedRemotely, QWidget *parent = nullptr);
    //! A page showing a recorded history of the band.
    TabPage2400(const RfSpectrumHistory &recorded, const PageActions &actions,
                QWidget *parent = nullptr);

    //! The KiVo IDs this band's plot draws; the others are dropped quietly.
    static bool isBandKivoId(int kivoId);
    Band band() const override { return Band::Band2400; }
    //! Delay before the next scan when the cadence clock shows `elapsedMs`;
    //! 0 means at once (and the clock restarts).
    static int nextScanDelayMs(qint64 elapsedMs);

    WifiScanHelper *wifiScanHelper() const { return m_wifi; }
    const QTimer &scanTimer() const { return m_scanTimer; }
    bool hasWifiActions() const { return m_wifiOffered; }

public slots:
    void onNewSpecScan(qint64 timeStamp, RfSpectrumScan spectrum) override;
    void kivoIdSelection(QList<int> kivoIds) override;
    void kivoIdSelected(int kivoId) override;
    void kivoIdDeselected(int kivoId) override;
    void onActionToggleChannelsToggled();
    void onWifiAvailableChanged(bool avail);
    void onWifiScanDone(WifiScan results);
    void onWifiScanFailed();
    void onActionShowWifiToggled(bool checked);
    void updateWifisToDraw(WifiScan networks);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setUpChannels();
    //! The Wi-Fi dock's scan menu and status line follow the live survey.
    void connectSurveyMenu();
    void addWifiActions();
    void startWifiScan();
    void scheduleNextScan();
    void showWifiAtTimeBar();
    void clearWifiOverlay();

    WifiScanHelper *m_wifi = nullptr; //!< live page only
    WifiList *m_wifiList = nullptr;
    QAction *m_showWifi = nullptr;       //!< set once the page offers Wi-Fi
    QAction *m_wifiListAction = nullptr; //!< set once the page offers Wi-Fi
    QElapsedTimer m_scanClock;           //!< the scan cadence
    QTimer m_scanTimer;                  //!< the next scan, when it waits for the cadence
    bool m_wifiOffered = false;          //!< the Wi-Fi actions are in the tool bar
    bool m_scanOutstanding = false;      //!< the page asked for a scan and awaits its end
    qint64 m_scanRequestedMs = 0;        //!< wall clock of the last request
    WifiScan m_unattachedScan; //!< newest result that found no sample newer than its request
    bool m_hasUnattachedScan = false;
    WifiScan m_listedScan; //!< what the list was last given by this page
    bool m_listed = false; //!< m_listedScan is valid
};
