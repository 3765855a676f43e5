#pragma once

#include "tabpage.h"

class TabPage900 : public TabPage
{
    Q_OBJECT
public:
    //! The live page of the band.
    explicit TabPage900(const PageActions &actions, QWidget *parent = nullptr);
    //! A page showing a recorded history of the band.
    TabPage900(const RfSpectrumHistory &recorded, const PageActions &actions,
               QWidget *parent = nullptr);

    //! The KiVo IDs this band's plot draws; the others are dropped quietly.
    static bool isBandKivoId(int kivoId);

public slots:
    void onNewSpecScan(qint64 timeStamp, RfSpectrumScan spectrum) override;
    void kivoIdSelection(QList<int> kivoIds) override;
    void kivoIdSelected(int kivoId) override;
    void kivoIdDeselected(int kivoId) override;
};
