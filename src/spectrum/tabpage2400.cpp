#include "tabpage2400.h"

#include "bandparameters.h"

TabPage2400::TabPage2400(const PageActions &actions, QWidget *parent) : TabPage(actions, parent)
{
    // The top axis carries the Wi-Fi/ZigBee channel scale; it is switched on
    // together with that scale, not before (an empty axis would read 0..1000).
    initLive(rfParams2400());
}

TabPage2400::TabPage2400(const RfSpectrumHistory &recorded, const PageActions &actions,
                         QWidget *parent)
    : TabPage(actions, parent)
{
    initRecorded(recorded);
}

void TabPage2400::onNewSpecScan(qint64 timeStamp, RfSpectrumScan spectrum)
{
    // The newest Wi-Fi survey travels forward from sweep to sweep.
    addNewSpectrumSample(RfSpectrumSample(timeStamp, spectrum, m_history.lastWifiNetworks()));
}

bool TabPage2400::isBandKivoId(int kivoId)
{
    return kivoId >= 24000;
}

void TabPage2400::kivoIdSelection(QList<int> kivoIds)
{
    QList<int> ours;
    for (int id : kivoIds)
        if (isBandKivoId(id))
            ours.append(id);
    m_kivoIdOverlay.setSelection(ours);
}

void TabPage2400::kivoIdSelected(int kivoId)
{
    if (isBandKivoId(kivoId))
        m_kivoIdOverlay.select(kivoId);
}

void TabPage2400::kivoIdDeselected(int kivoId)
{
    if (isBandKivoId(kivoId))
        m_kivoIdOverlay.deselect(kivoId);
}
