#pragma once

#include "dialogseam.h"

#include <QCoreApplication>
#include <QList>
#include <QStandardPaths>
#include <QString>
#include <QVariant>

// Main-window tests keep their settings and instance socket in a home of their
// own, so neither the user's settings nor another test's window can answer.
inline void useWindowTestHome(const QString &home, const QString &applicationName)
{
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", home.toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnwell"));
    QCoreApplication::setApplicationName(applicationName);
}

// Every dialog is recorded in `asked` and answered with the next scripted
// answer, or with its default once the script has run out.
inline void answerDialogsFromScript(QList<DialogSeam::Request> *asked, QVariantList *answers)
{
    DialogSeam::setHandler([asked, answers](const DialogSeam::Request &r) -> QVariant {
        asked->append(r);
        if (!answers->isEmpty())
            return answers->takeFirst();
        return r.kind == DialogSeam::Request::Message ? QVariant(r.defaultButton) : QVariant();
    });
}
