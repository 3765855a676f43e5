#include "plotcolorbar.h"

#include "colormapstops.h"

#include <qwt_color_map.h>
#include <qwt_plot.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_thermo.h>

#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <QVBoxLayout>
#include <qdrawutil.h>

namespace {

// Shows `picture` on `widget`, drawn afresh with `draw` first when `stale`.
template <typename Draw>
void showKept(QWidget *widget, QPixmap &picture, bool stale, qreal ratio, Draw draw)
{
    if (stale || picture.isNull()) {
        picture = QPixmap(widget->size() * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        draw(&painter);
    }
    QPainter painter(widget);
    painter.drawPixmap(0, 0, picture);
}

// The bar lies on the canvas, which repaints with every sweep, and Qt
// repaints its children with it: the colour map drawn line by line and the
// scale's labels laid out again each time. Its picture is kept and drawn
// again while nothing it shows has changed.
class KeptThermo : public QwtThermo
{
public:
    using QwtThermo::QwtThermo;

protected:
    void paintEvent(QPaintEvent *) override
    {
        const Key key = currentKey();
        showKept(this, m_picture, !(key == m_key), key.ratio,
                 [this](QPainter *painter) { drawBar(painter); });
        m_key = key;
    }

private:
    // What the picture shows; the map's colours too, as a colour file may
    // change them in place.
    struct Key
    {
        QSize size;
        qreal ratio = 1.0;
        double lower = 0, upper = 0, value = 0;
        QList<double> ticks;
        qint64 palette = 0;
        bool enabled = true, active = true;
        QFont font; // compared as it is: its key() is a string built anew
        QVector<QRgb> colors;
        bool operator==(const Key &o) const
        {
            return size == o.size && ratio == o.ratio && lower == o.lower && upper == o.upper &&
                   value == o.value && ticks == o.ticks && palette == o.palette &&
                   enabled == o.enabled && active == o.active && font == o.font &&
                   colors == o.colors;
        }
    };

    Key currentKey() const
    {
        Key k;
        k.size = size();
        k.ratio = devicePixelRatioF();
        const QwtScaleDiv &div = scaleDraw()->scaleDiv();
        k.lower = div.lowerBound();
        k.upper = div.upperBound();
        k.value = value();
        for (int type = 0; type < QwtScaleDiv::NTickTypes; ++type)
            k.ticks << div.ticks(type) << -1e300;
        k.palette = palette().cacheKey();
        k.enabled = isEnabled();
        k.active = isActiveWindow();
        k.font = font();
        k.colors = colorMapFingerprint(colorMap(), QwtInterval(k.lower, k.upper).normalized());
        return k;
    }

    // What the thermo paints, drawn into the kept picture: the widget's
    // style background, the scale, the pipe's panel and the liquid.
    void drawBar(QPainter *painter) const
    {
        QStyleOption option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_Widget, &option, painter, this);
        if (scalePosition() != NoScale)
            scaleDraw()->draw(painter, palette());
        const QRect pipe = pipeRect();
        const int border = borderWidth();
        const QBrush base = palette().brush(QPalette::Base);
        qDrawShadePanel(painter, pipe.adjusted(-border, -border, border, border), palette(), true,
                        border, &base);
        drawLiquid(painter, pipe);
    }

    Key m_key;
    QPixmap m_picture;
};

// The bar's title lies on the canvas too: its plain text is drawn once into
// a picture, as a frameless label draws it, and that picture shown afterwards.
class KeptLabel : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *) override
    {
        const Key key = currentKey();
        showKept(this, m_picture, !(key == m_key), key.ratio, [this](QPainter *painter) {
            // The widget's font at the widget's size: a pixmap's resolution
            // may differ from the screen's.
            QFont f = font();
            const int pixmapDpi = painter->device()->logicalDpiY();
            if (f.pointSizeF() > 0 && pixmapDpi > 0)
                f.setPointSizeF(f.pointSizeF() * logicalDpiY() / pixmapDpi);
            painter->setFont(f);
            const int m = margin();
            const int flags = int(QStyle::visualAlignment(layoutDirection(), alignment())) |
                              (layoutDirection() == Qt::LeftToRight ? Qt::TextForceLeftToRight
                                                                    : Qt::TextForceRightToLeft);
            style()->drawItemText(painter, contentsRect().adjusted(m, m, -m, -m), flags, palette(),
                                  isEnabled(), text(), foregroundRole());
        });
        m_key = key;
    }

private:
    struct Key
    {
        QSize size;
        qreal ratio = 1.0;
        QString text;
        QFont font;
        qint64 palette = 0;
        bool enabled = true, active = true;
        int alignment = 0, margin = 0, direction = 0;
        bool operator==(const Key &o) const
        {
            return size == o.size && ratio == o.ratio && text == o.text && font == o.font &&
                   palette == o.palette && enabled == o.enabled && active == o.active &&
                   alignment == o.alignment && margin == o.margin && direction == o.direction;
        }
    };

    Key currentKey() const
    {
        Key k;
        k.size = size();
        k.ratio = devicePixelRatioF();
        k.text = text();
        k.font = font();
        k.palette = palette().cacheKey();
        k.enabled = isEnabled();
        k.active = isActiveWindow();
        k.alignment = int(alignment());
        k.margin = margin();
        k.direction = int(layoutDirection());
        return k;
    }

    Key m_key;
    QPixmap m_picture;
};

} // namespace

QwtThermo *installColorBar(QwtPlot *plot, const QString &title, QwtColorMap *colorMap, double min,
                           double max)
{
    QWidget *canvas = plot->canvas();
    auto *label = new KeptLabel(title, canvas);
    label->setTextFormat(Qt::PlainText);
    auto *thermo = new KeptThermo(canvas);
    thermo->setOrientation(Qt::Vertical);
    thermo->setScalePosition(QwtThermo::LeadingScale);
    thermo->setColorMap(colorMap);
    thermo->setScale(min, max);
    thermo->setValue(max);
    thermo->setBorderWidth(0);

    auto *layout = new QVBoxLayout;
    layout->addWidget(label);
    layout->addWidget(thermo, 1, Qt::AlignRight);
    layout->addStretch(2);
    layout->setAlignment(Qt::AlignRight);
    canvas->setLayout(layout);
    return thermo;
}
