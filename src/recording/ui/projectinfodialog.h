#pragma once

#include "projectinfodata.h"

#include <QDialog>

class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QVBoxLayout;

//! The four project texts. Modeless; the main window takes getData() into
//! its project information when the dialog is accepted and at every scan start.
class ProjectInfoDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ProjectInfoDialog(QWidget *parent = nullptr);

    //! Fills the line edits and remembers the texts for resetData().
    void setData(const ProjectInfoData &data);
    //! The line edits' current texts, whether or not the dialog is shown.
    ProjectInfoData getData() const;

public slots:
    //! Puts the texts last given to setData() back into the line edits.
    void resetData();

private:
    QVBoxLayout *verticalLayout = nullptr;
    QFormLayout *formLayout = nullptr;
    QLabel *lblProjectName = nullptr;
    QLabel *lblProjectId = nullptr;
    QLabel *lblScanLocation = nullptr;
    QLabel *lblTechnicianName = nullptr;
    QLineEdit *edtProjectName = nullptr;
    QLineEdit *edtProjectId = nullptr;
    QLineEdit *edtScanLocation = nullptr;
    QLineEdit *edtTechnicianName = nullptr;
    QDialogButtonBox *buttonBox = nullptr;

    ProjectInfoData m_data; //!< as last given to setData()
};
