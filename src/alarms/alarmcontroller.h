#pragma once

#include "alarmmonitor.h"
#include "rfspectrumscan.h"

#include <QObject>
#include <QPointer>
#include <QVector>

#include <memory>
#include <vector>

class AlarmsDock;
class DesktopNotifier;
class LimitLineItems;
class QAction;
class QDockWidget;
class QMainWindow;
class QToolButton;
class TabPage;

//! The window's limit lines and alarms: draws the lines on both band pages,
//! evaluates every sweep a live page receives, and turns each alarm start
//! and end into a waterfall time event, a row of the Alarms dock, a desktop
//! notification and, when chosen, a beep. Sweeps reach it through the event
//! loop, so it keeps working while the window is minimised or a dialog is
//! open; it never waits on anything it starts.
class AlarmController : public QObject
{
    Q_OBJECT
public:
    //! `pages`: the live 2.4 GHz and 900 MHz pages. Adds the Alarms dock to
    //! `window` and a "Limits" button to `toolBarHost`'s tool bar.
    AlarmController(QMainWindow *window, TabPage *page2400, TabPage *page900);
    ~AlarmController() override;

    //! The button with the limit and alarm actions, for the window's tool bar.
    QToolButton *toolButton() const { return m_button; }
    QDockWidget *dock() const { return m_dock; }
    AlarmsDock *alarmsDock() const { return m_alarmsDock; }
    DesktopNotifier *notifier() const { return m_notifier; }
    QAction *limitsAction() const { return m_limitsAction; }
    QAction *soundAction() const { return m_soundAction; }
    QAction *dockAction() const { return m_dockAction; }

    const QVector<LimitLine> &limits() const { return m_limits; }
    //! Replaces the lines (saved in the settings); alarms of lines that went
    //! away end now.
    void setLimits(const QVector<LimitLine> &limits);
    const QVector<ChannelWatch> &channelWatches() const { return m_watches; }
    //! Replaces the channel watches (saved with the lines).
    void setChannelWatches(const QVector<ChannelWatch> &watches);
    //! Draws the band's lines, read-only, on a page opened from a recording
    //! (and so in its snapshots), following later changes of the lines.
    void showOnRecordedPage(TabPage *page);
    //! Opens the table of limit lines.
    void editLimits();
    //! A live page fed by the remote scanner `node`: it draws its band's
    //! lines (draggable, as on this computer's pages: the lines are the
    //! band's) and its sweeps raise alarms of its own, apart from those of
    //! this computer's scanner on the same band, named after the node. The
    //! alarms still on end when the page is deleted.
    void watchRemotePage(TabPage *page, const QString &node);

public slots:
    //! A sweep the live `page` (ours or a watched remote one) has just taken.
    void onSweep(TabPage *page, qint64 timeStamp, const RfSpectrumScan &spectrum);
    //! The scan stopped or the device went away: alarms still on end now.
    void endAlarms();
    //! The remote `page`'s sweeps stopped: its alarms still on end at its
    //! last sweep (the node's clock, as the rest of its page).
    void endRemoteAlarms(TabPage *page);

signals:
    void alarm(AlarmEvent event);

private:
    struct Remote;
    int bandIndex(const TabPage *page) const;
    Remote *remoteFor(const QObject *page) const;
    void forgetRemotePage(const QObject *page);
    void followEdits(LimitLineItems *items);
    //! `page`: where the event goes on the waterfall, null when it is gone.
    void report(const AlarmEvent &event, TabPage *page);
    void save();

    TabPage *m_pages[2] = {nullptr, nullptr};
    AlarmMonitor m_monitor;
    LimitLineItems *m_items[2] = {nullptr, nullptr};
    QVector<QPointer<LimitLineItems>> m_recordedItems; //!< owned by their pages
    std::vector<std::unique_ptr<Remote>> m_remotes;
    QVector<LimitLine> m_limits;
    QVector<ChannelWatch> m_watches;
    AlarmsDock *m_alarmsDock = nullptr;
    QDockWidget *m_dock = nullptr;
    DesktopNotifier *m_notifier = nullptr;
    QToolButton *m_button = nullptr;
    QAction *m_limitsAction = nullptr;
    QAction *m_soundAction = nullptr;
    QAction *m_dockAction = nullptr;
};
