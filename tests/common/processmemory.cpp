#include "tests/common/processmemory.h"

#include <QByteArray>
#include <QFile>
#include <QList>

namespace {

qint64 statusKb(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

} // namespace

qint64 ResidentKb()
{
    return statusKb("VmRSS");
}

qint64 PeakResidentKb()
{
    return statusKb("VmHWM");
}

void ResetPeakResident()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}
