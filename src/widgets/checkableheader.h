#pragma once

#include <QHeaderView>
#include <QRect>

//! A header view with a tri-state select-all check box in its first section.
class CheckableHeader : public QHeaderView
{
    Q_OBJECT
public:
    explicit CheckableHeader(Qt::Orientation orientation, QWidget *parent = nullptr);

    Qt::CheckState state() const { return m_state; }
    bool isCheckboxEnabled() const { return m_enabled; }
    //! The check box, in header coordinates.
    static QRect checkboxRect() { return QRect(5, 5, 15, 15); }

signals:
    void selectAllToggled(bool checked);

public slots:
    //! Neither slot repaints; the next paint shows the change.
    void setCheckboxDisable(bool disable);
    void setState(Qt::CheckState state);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    Qt::CheckState m_state = Qt::Checked;
    bool m_enabled = true;
};
