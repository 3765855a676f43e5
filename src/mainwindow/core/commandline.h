#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The program's command line, parsed into the ordered steps the main window
// carries out. Kept free of widgets so the parsing is tested on its own. Order
// matters: "-qc" marks only the pages that exist when it is reached, so a
// recording named before it gets the QC line and one named after it does not.
namespace CommandLine {

struct Step
{
    enum Kind
    {
        OpenFile, //!< `text` is a file name (existence is checked by the caller)
        Debug,
        Rbw,   //!< `intValue`
        Ampl,  //!< `intValue`
        FStep, //!< `doubleValue`, kHz
        Qc,
        Port,  //!< `text` is a serial port name
        Watch, //!< `text` is a broker address, mqtt[s]://HOST[:PORT]/PREFIX
        Help
    };
    Kind kind = OpenFile;
    QString text;
    int intValue = 0;
    double doubleValue = 0.0;
};

//! Parses `arguments` (the first entry, the program path, is skipped). Value
//! options consume the next entry even when it does not parse; a value option
//! given last is ignored; unknown dash entries consume nothing.
QVector<Step> parse(const QStringList &arguments);

//! `arguments` with every file-name entry made absolute against `directory`,
//! so a running instance in another working directory finds the files.
QStringList withAbsoluteFileNames(const QStringList &arguments, const QString &directory);

//! A value for "-rbw": a decimal integer that fits the 8-bit RBW register
//! (negative values parse too; they simply mean "no override").
bool parseRbw(const QString &text, int *value);
//! A value for "-ampl": any decimal 32-bit integer (only its low 8 bits count).
bool parseAmpl(const QString &text, int *value);
//! A value for "-fstep" in kHz: finite, and when positive small enough for the
//! 16.16 fixed-point MHz encoding of the step command (and not rounding to 0).
bool parseFStep(const QString &text, double *value);

//! The text "-h"/"--help" prints.
QString helpText();

} // namespace CommandLine
