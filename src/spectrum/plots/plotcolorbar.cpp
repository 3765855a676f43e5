#include "plotcolorbar.h"

#include <qwt_color_map.h>
#include <qwt_plot.h>
#include <qwt_thermo.h>

#include <QLabel>
#include <QVBoxLayout>

QwtThermo *installColorBar(QwtPlot *plot, const QString &title, QwtColorMap *colorMap, double min,
                           double max)
{
    QWidget *canvas = plot->canvas();
    auto *label = new QLabel(title, canvas);
    auto *thermo = new QwtThermo(canvas);
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
