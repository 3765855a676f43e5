#pragma once

#include "mqttlink.h"
#include "nodestatus.h"

#include <QDialog>
#include <QList>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class VenueSubscriber;

//! "Watch Remote Scanners": a broker address, the files holding its
//! credentials and CA, and the nodes that broker knows under the prefix (from
//! their retained status), with band and state, to tick and open. Only file
//! names are kept in the settings, never a secret.
class RemoteScannersDialog : public QDialog
{
    Q_OBJECT
public:
    explicit RemoteScannersDialog(QWidget *parent = nullptr);
    ~RemoteScannersDialog() override;

    //! Connects to the broker in the fields and lists its nodes as they are
    //! heard of; false (said in the dialog) when the fields do not work.
    bool listNodes();
    //! The broker the list came from.
    const MqttSettings &settings() const { return m_settings; }
    //! The ticked nodes, with their newest status.
    QList<NodeStatus> chosenNodes() const;

    QLineEdit *urlEdit() const { return m_edtUrl; }
    QLineEdit *caFileEdit() const { return m_edtCaFile; }
    QLabel *stateLabel() const { return m_lblState; }
    QTreeWidget *nodeList() const { return m_twNodes; }
    QPushButton *listButton() const { return m_pbList; }

private:
    QLineEdit *fileEdit(const QString &name, const QString &placeholder);
    void showNode(const QString &node, const NodeStatus &status);
    void showConnection(bool connected);
    void remember() const;

    QLineEdit *m_edtUrl = nullptr;
    QLineEdit *m_edtUserFile = nullptr;
    QLineEdit *m_edtPasswordFile = nullptr;
    QLineEdit *m_edtCaFile = nullptr;
    QPushButton *m_pbList = nullptr;
    QLabel *m_lblState = nullptr;
    QTreeWidget *m_twNodes = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
    MqttSettings m_settings;
    VenueSubscriber *m_lister = nullptr;
};
