#pragma once

#include "rfspectrumhistory.h"
#include "scanplan.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>

class AutosaveJournal;
class QWidget;
class TabPage;

// What a scan would lose if the program ended now: the autosave journal
// that lets a scan survive a crash, a kill or a pulled cable, and the count
// of sweeps of each live page not yet in a saved file, which Stop and Quit
// ask about.
class AutosaveController : public QObject
{
    Q_OBJECT
public:
    //! Adds a page for `history` titled `title`; null when it cannot.
    using PageAdder = std::function<TabPage *(const RfSpectrumHistory &, const QString &)>;

    //! Watches the two live pages (2.4 GHz, 900 MHz).
    AutosaveController(TabPage *live2400, TabPage *live900, QObject *parent);

    //! Journals a sweep of `band` the live page was given. A journal starts
    //! only while a scan is `wanted`: a sweep in flight after the scan ended
    //! must not leave a lost scan for the next start.
    void addSweep(ScanPlan::Band band, qint64 timeStamp, const RfSpectrumScan &spectrum,
                  bool wanted);
    //! Closes the journals; `remove` when nothing is left to recover.
    void end(bool remove);
    //! A page was saved: its recovered journal goes, and a live page's too
    //! unless it still scans (`scanning`).
    void pageSaved(TabPage *page, bool scanning);
    //! A page from a journal closed unsaved: the journal goes with it.
    void discardPageJournal(QWidget *page);
    //! Offers each scan an earlier run left in a journal; Yes opens it
    //! through `addPage`, No discards it.
    void offerRecovery(const PageAdder &addPage);

    void countSweepTaken(ScanPlan::Band band);
    void forgetSavedSweeps();
    void noteSaved(TabPage *page, const QString &path);
    //! The recording was discarded: nothing to recover, nothing to ask.
    void discardUnsaved();
    //! Sweeps of the band's live page not in a saved file. Those that came
    //! in just after a Save are added to that file instead.
    int unsavedSweeps(ScanPlan::Band band);

private:
    TabPage *m_live[2];                                 //!< 2.4 GHz, 900 MHz
    AutosaveJournal *m_journal[2] = {nullptr, nullptr}; //!< made on the first sweep
    // Per band: sweeps given to the live page since Scan, how many of them
    // the last Save wrote, where and when.
    int m_sweepsTaken[2] = {0, 0};
    int m_sweepsSaved[2] = {0, 0};
    QString m_savedPath[2];
    qint64 m_savedAtMs[2] = {0, 0};
    QElapsedTimer m_clock;
};
