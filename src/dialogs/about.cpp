#include "about.h"

#include "appversion.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QSpacerItem>
#include <QVBoxLayout>

#include <qwt_global.h>

namespace {

QString link(const QString &url, const QString &text)
{
    return QStringLiteral("<a href=\"%1\"><span style=\"color:#1464a0;\">%2</span></a>")
        .arg(url, text.toHtmlEscaped());
}

QLabel *label(QWidget *parent, const char *name, bool opensLinks)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    if (opensLinks) {
        l->setTextFormat(Qt::RichText);
        l->setOpenExternalLinks(true);
    }
    return l;
}

} // namespace

About::About(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(tr("About"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(314, 185);

    AboutForm &f = m_form;
    auto *horizontalLayout = new QHBoxLayout(this);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    auto *vlIcon = new QVBoxLayout;
    vlIcon->setObjectName(QStringLiteral("vlIcon"));
    f.lblAppIcon = label(this, "lblAppIcon", false);
    f.lblAppIcon->setMaximumSize(128, 128);
    f.lblAppIcon->setPixmap(QPixmap(QStringLiteral(":/OrvanelAppIcon.png")));
    f.lblAppIcon->setScaledContents(true);
    f.lblAppIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    vlIcon->addWidget(f.lblAppIcon);
    vlIcon->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
    horizontalLayout->addLayout(vlIcon);

    auto *vlText = new QVBoxLayout;
    vlText->setObjectName(QStringLiteral("vlText"));
    f.lblAppTitle = label(this, "lblAppTitle", false);
    QFont titleFont = f.lblAppTitle->font();
    titleFont.setPointSize(10);
    titleFont.setBold(true);
    f.lblAppTitle->setFont(titleFont);
    f.lblAppTitle->setText(QStringLiteral("Orvanel"));
    f.lblVersion = label(this, "lblVersion", false);
    f.lblQwt = label(this, "lblQwt", true);
    f.lblQt = label(this, "lblQt", true);
    f.lblQtLicense = label(this, "lblQtLicense", true);
    f.lblLegal = label(this, "lblLegal", false);
    for (QLabel *l : {f.lblAppTitle, f.lblVersion, f.lblQwt, f.lblQt, f.lblQtLicense, f.lblLegal})
        vlText->addWidget(l);
    vlText->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
    f.buttonBox = new QDialogButtonBox(QDialogButtonBox::Close, this);
    f.buttonBox->setObjectName(QStringLiteral("buttonBox"));
    vlText->addWidget(f.buttonBox);
    horizontalLayout->addLayout(vlText, 1);
    connect(f.buttonBox, &QDialogButtonBox::rejected, this, &QDialog::close);

    const QString qwtHome = QStringLiteral("https://qwt.sourceforge.io");
    const QString qtHome = QStringLiteral("https://www.qt.io");
    f.lblVersion->setText(tr("Application Version:") + QLatin1Char(' ') +
                          QLatin1String(orvanelApplicationVersion));
    // Qwt as compiled in; Qt as loaded, which may be newer than the headers.
    f.lblQwt->setText(tr("Based on Qwt") + QLatin1Char(' ') + QLatin1String(QWT_VERSION_STR) +
                      QStringLiteral(" (") + link(qwtHome, qwtHome) + QLatin1Char(')'));
    f.lblQt->setText(tr("Based on Qt") + QLatin1Char(' ') + QLatin1String(qVersion()) +
                     QStringLiteral(" (") + link(qtHome, qtHome) + QLatin1Char(')'));
    f.lblQtLicense->setText(tr("Qt Libraries are distributed under the ") +
                            link(QStringLiteral("https://www.gnu.org/licenses/lgpl-3.0.html"),
                                 QStringLiteral("LGPL v3.0")) +
                            tr(" terms"));
    f.lblLegal->setText(tr("Copyright © Tarnwell. All rights reserved."));
}
