// Peak resident memory of one piece of work, above what the process holds before it.
#pragma once

#include <QFile>
#include <malloc.h>

namespace vel::bench {

inline qint64 procStatusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Starts a measurement: what is free goes back, so idle is what is in use, and the kernel's peak mark
// (VmHWM) is set back to the current size by writing 5 to clear_refs.
class PeakMemory {
public:
    PeakMemory() {
        malloc_trim(0);
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        reset_ = clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
        clear.close();
        idleKb_ = procStatusKb("VmRSS:");
    }
    bool valid() const { return reset_; }
    double idleMiB() const { return double(idleKb_) / 1024; }
    double peakMiB() const { return double(procStatusKb("VmHWM:")) / 1024; }
    double aboveIdleMiB() const { return peakMiB() - idleMiB(); }

private:
    bool reset_ = false;
    qint64 idleKb_ = 0;
};

} // namespace vel::bench
