#pragma once

#include <QDialog>

class QDialogButtonBox;
class QLabel;

//! The About box's form, by the object names it gives.
struct AboutForm
{
    QLabel *lblAppIcon = nullptr;
    QLabel *lblAppTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblQwt = nullptr;
    QLabel *lblQt = nullptr;
    QLabel *lblQtLicense = nullptr;
    QLabel *lblLegal = nullptr;
    QDialogButtonBox *buttonBox = nullptr;
};

// The program's name, icon and version with the libraries it stands on. A
// free-standing, modeless window that is deleted when closed and never keeps
// the program running on its own.
class About : public QDialog
{
    Q_OBJECT
public:
    explicit About(QWidget *parent = nullptr);

    const AboutForm *form() const { return &m_form; }

private:
    AboutForm m_form;
};
