#pragma once

#include <QListView>

class DebugLogModel;

// The debug log on screen: one row per line, no wrapping, rows the user can
// select and copy (Ctrl+C or the context menu) as text. It follows new lines
// only while it shows the newest one, so reading back is not disturbed.
class DebugLogView : public QListView
{
    Q_OBJECT
public:
    explicit DebugLogView(DebugLogModel *model, QWidget *parent = nullptr);

    //! The selected lines in log order, one per line.
    QString selectedText() const;
    void copySelection() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    DebugLogModel *m_model;
    bool m_follow = true;
};
