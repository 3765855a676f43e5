#include "projectinfodialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit *addRow(QWidget *parent, QFormLayout *form, QLabel *&label, const char *labelName,
                  const QString &text, const char *editName)
{
    label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(labelName));
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(editName));
    label->setBuddy(edit);
    form->addRow(label, edit);
    return edit;
}

} // namespace

ProjectInfoDialog::ProjectInfoDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ProjectInfoDialog"));
    setWindowTitle(tr("Project Information"));
    resize(366, 153);
    setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Minimum);

    verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    formLayout = new QFormLayout();
    formLayout->setObjectName(QStringLiteral("formLayout"));
    verticalLayout->addLayout(formLayout);

    edtProjectName = addRow(this, formLayout, lblProjectName, "lblProjectName", tr("Project Name:"),
                            "edtProjectName");
    edtProjectId =
        addRow(this, formLayout, lblProjectId, "lblProjectId", tr("Project ID:"), "edtProjectId");
    edtScanLocation = addRow(this, formLayout, lblScanLocation, "lblScanLocation",
                             tr("Scan Location:"), "edtScanLocation");
    edtTechnicianName = addRow(this, formLayout, lblTechnicianName, "lblTechnicianName",
                               tr("Technician Name:"), "edtTechnicianName");

    buttonBox = new QDialogButtonBox(Qt::Horizontal, this);
    buttonBox->setObjectName(QStringLiteral("buttonBox"));
    buttonBox->setStandardButtons(QDialogButtonBox::Save | QDialogButtonBox::Close |
                                  QDialogButtonBox::Reset);
    buttonBox->button(QDialogButtonBox::Save)->setDefault(true);
    verticalLayout->addWidget(buttonBox);

    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttonBox->button(QDialogButtonBox::Reset), &QAbstractButton::clicked, this,
            &ProjectInfoDialog::resetData);
}

void ProjectInfoDialog::setData(const ProjectInfoData &data)
{
    m_data = data;
    resetData();
}

ProjectInfoData ProjectInfoDialog::getData() const
{
    ProjectInfoData data;
    data.projectName = edtProjectName->text();
    data.projectId = edtProjectId->text();
    data.scanLocation = edtScanLocation->text();
    data.technicianName = edtTechnicianName->text();
    return data;
}

void ProjectInfoDialog::resetData()
{
    edtProjectName->setText(m_data.projectName);
    edtProjectId->setText(m_data.projectId);
    edtScanLocation->setText(m_data.scanLocation);
    edtTechnicianName->setText(m_data.technicianName);
}
