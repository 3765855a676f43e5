#pragma once

#include <QMetaType>
#include <QString>

//! The four project texts that go into every band history and recording.
struct ProjectInfoData
{
    QString projectName;
    QString projectId;
    QString scanLocation;
    QString technicianName;

    bool operator==(const ProjectInfoData &o) const
    {
        return projectName == o.projectName && projectId == o.projectId &&
               scanLocation == o.scanLocation && technicianName == o.technicianName;
    }
    bool operator!=(const ProjectInfoData &o) const { return !(*this == o); }
};
Q_DECLARE_METATYPE(ProjectInfoData)
