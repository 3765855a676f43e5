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

bool TabPage900::isBandKivoId(int kivoId)
{
    return kivoId <= 9500;
}

void TabPage900::kivoIdSelection(QList<int> kivoIds)
{
    QList<int> ours;
    for (int id : kivoIds)
        if (isBandKivoId(id))
            ours.append(id);
    m_kivoIdOverlay.setSelection(ours);
}

void TabPage900::kivoIdSelected(int kivoId)
{
    if (isBandKivoId(kivoId))
        m_kivoIdOverlay.select(kivoId);
}

void TabPage900::kivoIdDeselected(int kivoId)
{
    if (isBandKivoId(kivoId))
        m_kivoIdOverlay.deselect(kivoId);
}
