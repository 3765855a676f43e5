#pragma once

#include <QObject>
#include <QString>

class DeviceComms;
class FwUpdateDialog;
class QWidget;

//! The firmware update as the window sees it: offering it when the device
//! reports versions other than the carried images', the recovery offer for a
//! device that does not answer or a host processor left in DFU mode, and
//! keeping the window open while an update runs.
class FirmwareController : public QObject
{
    Q_OBJECT
public:
    //! `window` is the dialog's parent and is kept open during an update.
    FirmwareController(DeviceComms *device, QWidget *window, const QString &radioImageVersion,
                       const QString &hostImageVersion);

    FwUpdateDialog *dialog() const { return m_dialog; }
    bool dialogShown() const;
    //! True (after saying why) while an update runs: Quit, the window's close
    //! and SIGTERM/SIGINT wait until it has ended.
    bool quitRefused() const;
    //! No serial scanner, but its host processor waits in DFU mode: offers
    //! "Finish the host update". True when the offer was made.
    bool offerHostUpdateFinish();
    //! A version the device reported. Once both are known and one differs
    //! from its image, the update is offered.
    void radioVersionReported(const QString &version);
    void hostVersionReported(const QString &version);
    //! The device went away: its versions are unknown again.
    void forgetVersions();
    //! The device did not answer the connect: its radio may be stuck without
    //! a working firmware, so the radio update is offered as a recovery.
    void offerRadioRecovery();
    void open();

signals:
    //! An update ended well and the scanner has had time to restart.
    void reconnectWanted();

private:
    void offerWhenBothKnown();

    DeviceComms *m_device;
    const QString m_radioImage;
    const QString m_hostImage;
    QString m_radio; //!< as reported, empty while unknown
    QString m_host;
    FwUpdateDialog *m_dialog;
};
