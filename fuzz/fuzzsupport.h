#pragma once

#include <QCoreApplication>
#include <QtGlobal>

#include <cstdint>
#include <cstdlib>

// What every fuzz target shares: an application object (some parsers make
// QObjects and timers) and silence, since a parser that logs every rejected
// byte would spend the run formatting messages. A fatal message still aborts,
// so the fuzzer records it.
namespace FuzzSupport {

inline void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        fprintf(stderr, "%s\n", qPrintable(message));
        abort();
    }
}

inline void init(int *argc, char ***argv)
{
    qInstallMessageHandler(quietMessages);
    static QCoreApplication app(*argc, *argv);
}

} // namespace FuzzSupport

#define ORVANEL_FUZZ_INIT                                                                          \
    extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)                                   \
    {                                                                                              \
        FuzzSupport::init(argc, argv);                                                             \
        return 0;                                                                                  \
    }
