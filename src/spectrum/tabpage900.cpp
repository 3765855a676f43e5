#include "tabpage900.h"

#include "bandparameters.h"

TabPage900::TabPage900(const PageActions &actions, QWidget *parent) : TabPage(actions, parent)
{
    initLive(rfParams900());
}

TabPage900::TabPage900(const RfSpectrumHistory &recorded, const PageActions &actions,
                       QWidget *parent)
    : TabPage(actions, parent)
{
    initRecorded(recorded);
}

void TabPage900::onNewSpecScan(qint64 timeStamp, RfSpectrumScan spectrum)
{
    addNewSpectrumSample(RfSpectrumSample(timeStamp, spectrum));
}

// The KiVo ID overlay comes with the ID panel.
void TabPage900::kivoIdSelection(QList<int>) {}

void TabPage900::kivoIdSelected(int) {}

void TabPage900::kivoIdDeselected(int) {}
