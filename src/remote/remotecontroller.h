#pragma once

#include "mqttlink.h"
#include "nodestatus.h"
#include "remotescannersdialog.h"
#include "tabpage.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QAction;
class QLabel;
class QMainWindow;
class QTabWidget;
class QToolBar;
class RemoteFeed;
class SweepPayload;
class VenueSubscriber;

//! Scanners elsewhere as live pages of the window. Each watched node gets a
//! band page of its own, fed by a subscriber to that node alone through the
//! page's usual sweep entry, so everything a local page does works on it.
//! The tab names the node; the status bar shows the end-to-end delay of the
//! remote page on screen; "Node offline" shows on the page, its tab and the
//! status bar when the node says so or its last will does. Closing the page
//! ends its subscription.
class RemoteController : public QObject
{
    Q_OBJECT
public:
    //! The status bar's delay is refreshed this often, ms: a figure that
    //! changes with every sweep is unreadable and costs a repaint each time.
    static constexpr int StatusIntervalMs = 250;
    //! Delays are counted in 1 ms steps up to this, ms; longer ones together.
    static constexpr int DelayBuckets = 5000;

    //! `actions`: what the pages show; the scan's own Record and Stop are left
    //! out, they drive this computer's scanner. Adds "Watch Remote
    //! Scanners..." to `toolBar` before `before`.
    RemoteController(QMainWindow *window, QTabWidget *tabs, const PageActions &actions,
                     QToolBar *toolBar, QAction *before);
    ~RemoteController() override;

    QAction *watchAction() const { return m_watchAction; }
    //! The dialog "Watch Remote Scanners..." shows; null while none is open.
    RemoteScannersDialog *dialog() const { return m_dialog; }

    //! Opens node `node` (its band from `status`) as a page, or shows its
    //! page when it has one already. Null when the band is none of ours.
    TabPage *watch(const MqttSettings &settings, const NodeStatus &status);
    //! Opens every node under `url`'s prefix that is or comes on line, with
    //! credentials from the environment (the command line's "--watch").
    //! False with `error` when the address or the credentials are unusable.
    bool watchAll(const QString &url, QString *error);

    //! "--watch" was given: nodes open as they come on line.
    bool watchesBroker() const { return !m_finders.isEmpty(); }
    QList<TabPage *> pages() const;
    //! The node `page` shows; empty for a page of this computer's scanner.
    QString nodeOf(const TabPage *page) const;
    //! The node said it is offline (or its last will did).
    bool isOffline(const TabPage *page) const;
    //! Newest end-to-end delay of `page`'s sweeps, ms (-1 before any).
    qint64 delayMs(const TabPage *page) const;
    quint64 sweepsTaken(const TabPage *page) const;
    //! Sweeps `page` took since it was opened or last saved: Quit offers them.
    int unsavedSweeps(const TabPage *page) const;
    //! `page`'s sweeps so far are saved (no-op for a page not watched here).
    void noteSaved(const TabPage *page);
    //! The delay `share` (0..1) of `page`'s sweeps stayed within, ms (-1
    //! before any).
    qint64 delayPercentileMs(const TabPage *page, double share) const;
    //! One line per watched node: sweeps taken, refused, delay p50, p99 and
    //! maximum in ms. Written when the application quits if ORVANEL_REMOTE_STATS names
    //! a file (benchmarks measure the running program by it).
    void writeStats(const QString &path) const;
    QLabel *statusLabel() const { return m_lblStatus; }

public slots:
    void showWatchDialog();

signals:
    //! A node's page was opened (it closes by being deleted).
    void pageOpened(TabPage *page, const QString &node);
    //! `page` has just taken this sweep of its node.
    void sweepShown(TabPage *page, qint64 timeStamp, const RfSpectrumScan &spectrum);
    //! `page`'s sweeps stopped: its node went offline or the broker went away.
    void pageStalled(TabPage *page);

private:
    struct Watched;
    Watched *watchedFor(const TabPage *page) const;
    void onSweep(Watched *w, const SweepPayload &sweep);
    void onStatus(Watched *w, const NodeStatus &status);
    void onAlarm(Watched *w, const QByteArray &json);
    void showState(Watched *w);
    void updateStatusLabel();
    void pageGone(QObject *page);

    QMainWindow *m_window;
    QTabWidget *m_tabs;
    PageActions m_actions;
    QAction *m_watchAction = nullptr;
    QLabel *m_lblStatus = nullptr;
    QTimer m_statusTimer;
    QList<Watched *> m_watched;
    QList<VenueSubscriber *> m_finders; //!< "--watch": the nodes coming on line
    QPointer<RemoteScannersDialog> m_dialog;
};
