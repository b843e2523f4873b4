#pragma once
// What the benchmarks share: percentiles of samples and the CPU time of a process.

#include <QFile>
#include <QList>
#include <algorithm>
#include <unistd.h>
#include <vector>

namespace zop::bench {

inline double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// CPU seconds (user + system) a process has used so far.
inline double CpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // After the command name: state is field 0, utime 11, stime 12.
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

} // namespace zop::bench
