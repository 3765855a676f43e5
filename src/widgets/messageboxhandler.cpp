#include "messageboxhandler.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace MessageBoxHandler {

static QWidget *dialogParent()
{
    return QApplication::activeWindow();
}

//! The dialog's title and the request's text above what the dialog asks for.
static QVBoxLayout *titledLayout(QDialog &dialog, const DialogSeam::Request &r)
{
    dialog.setWindowTitle(r.title);
    auto *layout = new QVBoxLayout(&dialog);
    auto *label = new QLabel(r.text, &dialog);
    label->setWordWrap(true);
    layout->addWidget(label);
    return layout;
}

//! A list to tick items in, with buttons to tick or clear them all.
static QVariant checkItems(const DialogSeam::Request &r)
{
    QDialog dialog(dialogParent());
    QVBoxLayout *layout = titledLayout(dialog, r);
    auto *list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("lwItems"));
    for (int i = 0; i < r.items.size(); ++i) {
        auto *item = new QListWidgetItem(r.items.at(i), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(r.checked.contains(i) ? Qt::Checked : Qt::Unchecked);
    }
    layout->addWidget(list);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    const auto tickAll = [list](Qt::CheckState state) {
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setCheckState(state);
    };
    QObject::connect(buttons->addButton(QApplication::translate("MessageBoxHandler", "Tick all"),
                                        QDialogButtonBox::ActionRole),
                     &QPushButton::clicked, &dialog, [tickAll] { tickAll(Qt::Checked); });
    QObject::connect(buttons->addButton(QApplication::translate("MessageBoxHandler", "Clear"),
                                        QDialogButtonBox::ActionRole),
                     &QPushButton::clicked, &dialog, [tickAll] { tickAll(Qt::Unchecked); });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(520, 400);
    if (dialog.exec() != QDialog::Accepted)
        return QVariant();
    QVariantList ticked;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->checkState() == Qt::Checked)
            ticked.append(i);
    }
    return ticked;
}

//! Two spin boxes for a range of levels.
static QVariant getRange(const DialogSeam::Request &r)
{
    QDialog dialog(dialogParent());
    QVBoxLayout *layout = titledLayout(dialog, r);
    auto *form = new QFormLayout;
    const QStringList preset = r.value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QDoubleSpinBox *boxes[2];
    const QString names[2] = {QApplication::translate("MessageBoxHandler", "Low:"),
                              QApplication::translate("MessageBoxHandler", "High:")};
    for (int i = 0; i < 2; ++i) {
        boxes[i] = new QDoubleSpinBox(&dialog);
        boxes[i]->setObjectName(i == 0 ? QStringLiteral("dsbLow") : QStringLiteral("dsbHigh"));
        boxes[i]->setRange(-200.0, 200.0);
        boxes[i]->setDecimals(1);
        boxes[i]->setSuffix(QStringLiteral(" dBm"));
        boxes[i]->setValue(preset.value(i).toDouble());
        form->addRow(names[i], boxes[i]);
    }
    layout->addLayout(form);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return QVariant();
    return QStringLiteral("%1 %2").arg(boxes[0]->value()).arg(boxes[1]->value());
}

QVariant answer(const DialogSeam::Request &r)
{
    using Request = DialogSeam::Request;
    switch (r.kind) {
    case Request::Message: {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        switch (r.icon) {
        case Request::NoIcon:
            break;
        case Request::Information:
            icon = QMessageBox::Information;
            break;
        case Request::Warning:
            icon = QMessageBox::Warning;
            break;
        case Request::Critical:
            icon = QMessageBox::Critical;
            break;
        case Request::Question:
            icon = QMessageBox::Question;
            break;
        }
        QMessageBox box(icon, r.title, r.text, QMessageBox::StandardButtons(r.buttons));
        box.setDefaultButton(QMessageBox::StandardButton(r.defaultButton));
        return box.exec();
    }
    case Request::GetItem: {
        bool ok = false;
        const QString item =
            QInputDialog::getItem(dialogParent(), r.title, r.text, r.items, r.current, false, &ok);
        return ok ? QVariant(item) : QVariant();
    }
    case Request::GetText: {
        bool ok = false;
        const QString text =
            QInputDialog::getText(dialogParent(), r.title, r.text, QLineEdit::Normal, r.value, &ok,
                                  Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        return ok ? QVariant(text) : QVariant();
    }
    case Request::SaveFileName: {
        QFileDialog dialog(dialogParent(), r.title, r.value, r.filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!r.defaultSuffix.isEmpty()) {
            dialog.setDefaultSuffix(r.defaultSuffix);
            // A native dialog asks about overwriting before it adds the
            // suffix, so its question could concern another file than the
            // one written; Qt's own dialog adds the suffix first.
            dialog.setOption(QFileDialog::DontUseNativeDialog);
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QVariant();
        return dialog.selectedFiles().constFirst();
    }
    case Request::OpenFileName: {
        const QString path =
            QFileDialog::getOpenFileName(dialogParent(), r.title, r.value, r.filter);
        return path.isEmpty() ? QVariant() : QVariant(path);
    }
    case Request::CheckItems:
        return checkItems(r);
    case Request::GetRange:
        return getRange(r);
    }
    return QVariant();
}

void install()
{
    DialogSeam::setHandler(&answer);
}

} // namespace MessageBoxHandler
