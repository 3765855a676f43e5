#pragma once

#include "rfspectrumhistory.h"
#include "wifiapinfo.h"

#include <QModelIndex>
#include <QVector>
#include <QWidget>

class CheckableHeader;
class QAction;
class QActionGroup;
class QCheckBox;
class QLabel;
class QMenu;
class QToolButton;
class QSpinBox;
class QTreeView;
class WifiModel;
class WifiProxyModel;

// The Wi-Fi dock's contents: every network seen, a tick per network for the
// spectrum plot, and "Hide networks below" a level.
//
// Its menu chooses how the survey scans (passive or not, which adapter; both
// remembered in the settings) and a status line says how it runs.
//
// Each operation that changes which networks are ticked ends in exactly one
// newNetworksToDraw, however many rows it touched, so the plot redraws once.
class WifiList : public QWidget
{
    Q_OBJECT
public:
    explicit WifiList(QWidget *parent = nullptr);

    WifiModel *model() const { return m_model; }
    WifiProxyModel *proxyModel() const { return m_proxy; }
    QTreeView *view() const { return m_view; }
    CheckableHeader *header() const { return m_header; }
    QCheckBox *filterCheckBox() const { return m_filter; }
    QSpinBox *filterSpinBox() const { return m_threshold; }
    QToolButton *menuButton() const { return m_menuButton; }
    QAction *passiveScanAction() const { return m_passiveScan; }
    QMenu *adapterMenu() const { return m_adapterMenu; }
    QLabel *statusLabel() const { return m_status; }
    //! The settings' choices, as the menu shows them.
    bool passiveScan() const;
    QString chosenAdapter() const;

signals:
    void newNetworksToDraw(WifiScan networks);
    void passiveScanChanged(bool passive);
    void adapterChosen(const QString &name);

public slots:
    void updateList(WifiScan results);
    void loadHistory(RfSpectrumHistory hist);
    void clearList();
    void setSurveyStatus(const QString &text);
    //! Offers `names` in the adapter menu, `current` ticked.
    void setAdapters(const QStringList &names, const QString &current);
    void onFilterEnableChanged(bool enable);
    void onFilterValueChanged(int value);
    void onSelectAllToggled(bool checked);
    void onModelDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                            const QVector<int> &roles);

private:
    bool checkNew() const;
    void updateHeaderState();
    //! Runs one model operation and sends its outcome once.
    template <typename Operation> void batched(Operation operation);

    WifiModel *m_model = nullptr;
    WifiProxyModel *m_proxy = nullptr;
    QTreeView *m_view = nullptr;
    CheckableHeader *m_header = nullptr;
    QCheckBox *m_filter = nullptr;
    QSpinBox *m_threshold = nullptr;
    QToolButton *m_menuButton = nullptr;
    QAction *m_passiveScan = nullptr;
    QMenu *m_adapterMenu = nullptr;
    QActionGroup *m_adapterGroup = nullptr;
    QLabel *m_status = nullptr;
    bool m_batching = false;      //!< inside an operation: hold the emission back
    bool m_checksTouched = false; //!< a tick changed during the operation
};
