#include "projectinfodialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

ProjectInfoData data(const char *name, const char *id, const char *location, const char *tech)
{
    ProjectInfoData d;
    d.projectName = QString::fromUtf8(name);
    d.projectId = QString::fromUtf8(id);
    d.scanLocation = QString::fromUtf8(location);
    d.technicianName = QString::fromUtf8(tech);
    return d;
}

QLineEdit *edit(const ProjectInfoDialog &dialog, const char *name)
{
    return dialog.findChild<QLineEdit *>(QLatin1String(name));
}

QPushButton *button(const ProjectInfoDialog &dialog, QDialogButtonBox::StandardButton which)
{
    return dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->button(which);
}

void type(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

} // namespace

class TestProjectInfoDialog : public QObject
{
    Q_OBJECT
private slots:
    void form_data();
    void form();
    void buttons();
    void setDataAndGetData();
    void resetRestoresOpenedTexts();
    void closeChangesNothingButKeepsTypedTexts();
    void saveAccepts();
};

void TestProjectInfoDialog::form_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<int>("row");
    QTest::newRow("name") << "lblProjectName"
                          << "Project Name:"
                          << "edtProjectName" << 0;
    QTest::newRow("id") << "lblProjectId"
                        << "Project ID:"
                        << "edtProjectId" << 1;
    QTest::newRow("location") << "lblScanLocation"
                              << "Scan Location:"
                              << "edtScanLocation" << 2;
    QTest::newRow("technician") << "lblTechnicianName"
                                << "Technician Name:"
                                << "edtTechnicianName" << 3;
}

void TestProjectInfoDialog::form()
{
    QFETCH(QString, label);
    QFETCH(QString, text);
    QFETCH(QString, edit);
    QFETCH(int, row);
    ProjectInfoDialog dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("ProjectInfoDialog"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Project Information"));
    QCOMPARE(dialog.size(), QSize(366, 153));
    QCOMPARE(dialog.sizePolicy().horizontalPolicy(), QSizePolicy::MinimumExpanding);
    QCOMPARE(dialog.sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    QVERIFY(!dialog.isModal());
    auto *form = dialog.findChild<QFormLayout *>(QStringLiteral("formLayout"));
    QVERIFY(form);
    auto *lbl = dialog.findChild<QLabel *>(label);
    QVERIFY(lbl);
    QCOMPARE(lbl->text(), text);
    QCOMPARE(form->itemAt(row, QFormLayout::LabelRole)->widget(), lbl);
    QCOMPARE(form->itemAt(row, QFormLayout::FieldRole)->widget(),
             dialog.findChild<QLineEdit *>(edit));
}

void TestProjectInfoDialog::buttons()
{
    ProjectInfoDialog dialog;
    auto *box = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    QVERIFY(box);
    QCOMPARE(box->orientation(), Qt::Horizontal);
    QCOMPARE(box->standardButtons(),
             QDialogButtonBox::Save | QDialogButtonBox::Close | QDialogButtonBox::Reset);
    QVERIFY(box->button(QDialogButtonBox::Save)->isDefault());
}

void TestProjectInfoDialog::setDataAndGetData()
{
    ProjectInfoDialog dialog;
    QCOMPARE(dialog.getData(), ProjectInfoData());
    const ProjectInfoData d = data("Site", "P-17", "Hall B", "Kim");
    dialog.setData(d);
    QCOMPARE(edit(dialog, "edtProjectName")->text(), QStringLiteral("Site"));
    QCOMPARE(edit(dialog, "edtProjectId")->text(), QStringLiteral("P-17"));
    QCOMPARE(edit(dialog, "edtScanLocation")->text(), QStringLiteral("Hall B"));
    QCOMPARE(edit(dialog, "edtTechnicianName")->text(), QStringLiteral("Kim"));
    QCOMPARE(dialog.getData(), d);
}

void TestProjectInfoDialog::resetRestoresOpenedTexts()
{
    ProjectInfoDialog dialog;
    dialog.setData(data("Site", "1", "Hall", "Kim"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    type(edit(dialog, "edtProjectName"), QStringLiteral("Other"));
    type(edit(dialog, "edtTechnicianName"), QStringLiteral("Lee"));
    QCOMPARE(dialog.getData().projectName, QStringLiteral("Other"));
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QTest::mouseClick(button(dialog, QDialogButtonBox::Reset), Qt::LeftButton);
    QCOMPARE(dialog.getData(), data("Site", "1", "Hall", "Kim"));
    QVERIFY(dialog.isVisible());
    QCOMPARE(accepted.count(), 0);
    QCOMPARE(rejected.count(), 0);
}

void TestProjectInfoDialog::closeChangesNothingButKeepsTypedTexts()
{
    ProjectInfoDialog dialog;
    const ProjectInfoData before = data("Site", "1", "Hall", "Kim");
    dialog.setData(before);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    type(edit(dialog, "edtProjectName"), QStringLiteral("Typed"));
    QTest::mouseClick(button(dialog, QDialogButtonBox::Close), Qt::LeftButton);
    QCOMPARE(rejected.count(), 1);
    QCOMPARE(accepted.count(), 0);
    QVERIFY(!dialog.isVisible());
    // left in the fields: the next scan start takes them over ...
    QCOMPARE(dialog.getData().projectName, QStringLiteral("Typed"));
    // ... unless the dialog is opened again, which refills it
    dialog.setData(before);
    QCOMPARE(dialog.getData(), before);
}

void TestProjectInfoDialog::saveAccepts()
{
    ProjectInfoDialog dialog;
    dialog.setData(data("", "", "", ""));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QVERIFY(accepted.isValid());
    type(edit(dialog, "edtProjectName"), QStringLiteral("Site"));
    QTest::keyClick(edit(dialog, "edtProjectName"), Qt::Key_Return); // Save is the default
    QCOMPARE(accepted.count(), 1);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.getData().projectName, QStringLiteral("Site"));

    dialog.show();
    QTest::mouseClick(button(dialog, QDialogButtonBox::Save), Qt::LeftButton);
    QCOMPARE(accepted.count(), 2);
}

QTEST_MAIN(TestProjectInfoDialog)
#include "tst_projectinfodialog.moc"
