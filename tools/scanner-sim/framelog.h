#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <cstdio>

//! The frame log: one line per frame, written through at once so a test
//! (or someone reproducing a field problem) can read it while the emulator runs:
//!   <seconds since start, 3 decimals> <RX|TX|RX-JUNK|TX-JUNK> <lower-case hex>
class FrameLog
{
public:
    explicit FrameLog(const QElapsedTimer &clock) : m_clock(clock) {}
    ~FrameLog();
    FrameLog(const FrameLog &) = delete;
    FrameLog &operator=(const FrameLog &) = delete;

    bool open(const QString &path, QString *error);
    bool isOpen() const { return m_file != nullptr; }
    void write(const char *direction, const QByteArray &bytes);

private:
    const QElapsedTimer &m_clock;
    std::FILE *m_file = nullptr;
};
