#pragma once

#include <QWebEngineView>

// The program's own manual window: a free-standing web view, 1024 x 600,
// whose title shows the loading progress. Deleted when closed; it never keeps
// the program running on its own.
class ManualViewer : public QWebEngineView
{
    Q_OBJECT
public:
    explicit ManualViewer(QWidget *parent = nullptr);

    //! Switches on what the engine needs for the manual (once per process;
    //! this is the first touch of the engine, which costs a helper process).
    static void prepareEngine();

signals:
    //! The page's renderer died; the manual should be shown elsewhere.
    void rendererFailed(const QUrl &url);
};
