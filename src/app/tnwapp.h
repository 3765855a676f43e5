#pragma once

#include <QApplication>

class QFile;

// The application object. Systems that hand files to a running program as
// QEvent::FileOpen (macOS) reach the main window through fileOpenRequested;
// on Linux a file named on a second command line comes through the
// single-instance channel instead.
class TnwApp : public QApplication
{
    Q_OBJECT
public:
    TnwApp(int &argc, char **argv);

    bool event(QEvent *event) override;

signals:
    void fileOpenRequested(QFile &file);
};
