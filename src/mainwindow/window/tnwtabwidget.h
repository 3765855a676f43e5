#pragma once

#include <QTabBar>
#include <QTabWidget>

// A tab widget whose tabs share the bar's width evenly, each at most 250 px,
// so many opened recordings stay readable with elided titles.
class TnwTabWidget : public QTabWidget
{
public:
    class TnwTabBar : public QTabBar
    {
    public:
        explicit TnwTabBar(QWidget *parent = nullptr);

    protected:
        QSize tabSizeHint(int index) const override;

    private:
        int m_maxTabWidth = 250;
    };

    explicit TnwTabWidget(QWidget *parent = nullptr);

protected:
    void resizeEvent(QResizeEvent *event) override;
};
