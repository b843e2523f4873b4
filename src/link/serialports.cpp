#include "link/serialports.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

namespace zop {

namespace {

// The name without its folder ("/dev/ttyUSB0" gives "ttyUSB0").
QString BaseName(const QString &name) { return name.mid(name.lastIndexOf(QLatin1Char('/')) + 1); }

// 0: built-in, 1: USB serial adapter, 2: USB modem class.
int PortGroup(const QString &path)
{
    const QString name = BaseName(path);
    if (name.startsWith(QLatin1String("ttyUSB")))
        return 1;
    if (name.startsWith(QLatin1String("ttyACM")))
        return 2;
    return 0;
}

// The name split into its text and its trailing number (-1 when it has none).
std::pair<QString, qint64> SplitTrailingNumber(const QString &name)
{
    qsizetype digits = name.size();
    while (digits > 0 && name[digits - 1].isDigit())
        --digits;
    if (digits == name.size() || name.size() - digits > 18)
        return {name, -1};
    return {name.left(digits), name.mid(digits).toLongLong()};
}

QString Describe(const QStringList &ordered)
{
    if (ordered.isEmpty())
        return QStringLiteral("no serial port was found on this machine");
    QStringList parts;
    for (qsizetype i = 0; i < ordered.size(); ++i)
        parts << QStringLiteral("COM%1 = %2").arg(i + 1).arg(ordered[i]);
    return QStringLiteral("the serial ports here are ") + parts.join(QStringLiteral(", "));
}

} // namespace

QStringList SystemSerialPorts()
{
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.systemLocation();
    return names;
}

QStringList SerialPortOrder(QStringList names)
{
    names.removeDuplicates();
    std::stable_sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int ga = PortGroup(a);
        const int gb = PortGroup(b);
        if (ga != gb)
            return ga < gb;
        const auto [ta, na] = SplitTrailingNumber(BaseName(a));
        const auto [tb, nb] = SplitTrailingNumber(BaseName(b));
        if (ta != tb)
            return ta < tb;
        if (na != nb)
            return na < nb;
        return a < b;
    });
    return names;
}

QString SerialPortLocation(qint32 port, const QString &device, const SerialPortLister &lister,
                           QString *problem)
{
    const QString named = device.trimmed();
    if (!named.isEmpty())
        return named;
    if (port < 1) {
        if (problem)
            *problem = QStringLiteral("No serial port is configured (port number %1)").arg(port);
        return {};
    }
#ifdef Q_OS_WIN
    Q_UNUSED(lister);
    return QStringLiteral("COM%1").arg(port);
#else
    const QStringList ordered = SerialPortOrder(lister ? lister() : QStringList());
    if (port <= ordered.size())
        return ordered[port - 1];
    if (problem)
        *problem = QStringLiteral("Serial port COM%1 does not exist: %2")
                       .arg(port)
                       .arg(Describe(ordered));
    return {};
#endif
}

QList<SerialPortRow> SerialPortTable(const QStringList &ports, const QString &byIdFolder)
{
    const QFileInfoList links = QDir(byIdFolder).entryInfoList(
        QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QList<SerialPortRow> table;
    const QStringList ordered = SerialPortOrder(ports);
    for (qsizetype i = 0; i < ordered.size(); ++i) {
        SerialPortRow entry{qint32(i + 1), ordered[i], {}};
        const QString device = QFileInfo(ordered[i]).canonicalFilePath();
        for (const QFileInfo &link : links) {
            if (!device.isEmpty() && link.canonicalFilePath() == device)
                entry.byId << link.absoluteFilePath();
        }
        table << entry;
    }
    return table;
}

} // namespace zop
