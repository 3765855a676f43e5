#include "commandline.h"
#include "fuzzsupport.h"

// The command line from arbitrary bytes: NUL bytes separate the arguments,
// as they do in /proc/<pid>/cmdline.
ORVANEL_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<int>(size));
    QStringList arguments{QStringLiteral("orvanel")};
    for (const QByteArray &part : bytes.split('\0'))
        arguments << QString::fromLocal8Bit(part);
    const QVector<CommandLine::Step> steps = CommandLine::parse(arguments);
    if (steps.size() >= arguments.size())
        abort();
    CommandLine::withAbsoluteFileNames(arguments, QStringLiteral("/tmp/orvanel-fuzz"));
    for (const QString &argument : qAsConst(arguments)) {
        int value = 0;
        double step = 0.0;
        CommandLine::parseRbw(argument, &value);
        CommandLine::parseAmpl(argument, &value);
        CommandLine::parseFStep(argument, &step);
    }
    return 0;
}
