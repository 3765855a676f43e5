#include "messageboxhandler.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace MessageBoxHandler {

static QWidget *dialogParent()
{
    return QApplication::activeWindow();
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
    }
    return QVariant();
}

void install()
{
    DialogSeam::setHandler(&answer);
}

} // namespace MessageBoxHandler
