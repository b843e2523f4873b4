#include "faults.h"

#include "powersupply.h"

#include <QRegularExpression>

#include <algorithm>

namespace zopsim {

std::optional<ScheduledTrip> ScheduledTrip::parse(const QString &spec, QString *error)
{
    static const QRegularExpression Form(
        QStringLiteral("^trip=([a-z+]+)@(\\d+(?:\\.\\d+)?)(s|ms)$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = Form.match(spec.trimmed());
    ScheduledTrip trip;
    if (m.hasMatch()) {
        const struct { const char *name; quint32 bit; } names[] = {
            {"OVT", WordB::Ovt}, {"OCT", WordB::Oct}, {"PHL", WordB::Phl}, {"PGL", WordB::Pgl},
            {"THL", WordB::Thl}, {"FSE", WordB::Fse}, {"LOC", WordB::Loc}};
        for (const QString &alarm : m.captured(1).split(QLatin1Char('+'))) {
            quint32 bit = 0;
            for (const auto &n : names) {
                if (alarm.compare(QLatin1String(n.name), Qt::CaseInsensitive) == 0)
                    bit = n.bit;
            }
            trip.bits = bit ? trip.bits | bit : 0;
            if (!bit)
                break;
        }
        const double time = m.captured(2).toDouble();
        trip.afterOnMs = qRound64(m.captured(3).compare(QLatin1String("s"), Qt::CaseInsensitive) == 0
                                      ? time * 1000 : time);
    }
    if (trip.bits == 0) {
        if (error)
            *error = QStringLiteral("trip=ALARM@TIME needs OVT, OCT, PHL, PGL, THL, FSE or LOC "
                                    "and a time in s or ms: \"%1\"").arg(spec);
        return std::nullopt;
    }
    return trip;
}

std::optional<Fault> Fault::parse(const QString &spec, QString *error)
{
    auto fail = [&](const QString &why) -> std::optional<Fault> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const qsizetype colon = spec.indexOf(QLatin1Char(':'));
    const QString kind = (colon < 0 ? spec : spec.left(colon)).trimmed().toLower();
    Fault f;
    if (colon >= 0) {
        f.prefix = spec.mid(colon + 1).toLatin1();
        if (f.prefix.isEmpty())
            return fail(QStringLiteral("empty command prefix in fault \"%1\"").arg(spec));
    }
    if (kind == QLatin1String("silent")) {
        f.kind = Kind::Silent;
    } else if (kind.startsWith(QLatin1String("late="))) {
        bool ok = false;
        f.lateMs = kind.mid(5).toInt(&ok);
        if (!ok || f.lateMs < 0)
            return fail(QStringLiteral("late=MS needs a number of milliseconds: \"%1\"").arg(spec));
        f.kind = Kind::Late;
    } else if (kind == QLatin1String("cut")) {
        f.kind = Kind::Cut;
    } else if (kind == QLatin1String("close")) {
        f.kind = Kind::Close;
    } else if (kind == QLatin1String("garbage")) {
        f.kind = Kind::Garbage;
    } else if (kind == QLatin1String("stream")) {
        f.kind = Kind::Stream;
    } else if (kind.startsWith(QLatin1String("flood="))) {
        bool ok = false;
        f.floodMiB = kind.mid(6).toInt(&ok);
        if (!ok || f.floodMiB < 1 || f.floodMiB > 1024)
            return fail(QStringLiteral("flood=MB needs 1 to 1024 mebibytes: \"%1\"").arg(spec));
        f.kind = Kind::Flood;
    } else if (kind == QLatin1String("binary")) {
        f.kind = Kind::Binary;
    } else if (kind == QLatin1String("bytewise")) {
        f.kind = Kind::Bytewise;
    } else if (kind == QLatin1String("drop")) {
        f.kind = Kind::Drop;
    } else {
        return fail(QStringLiteral("unknown fault \"%1\" (silent, late=MS, cut, close, garbage, "
                                   "stream, flood=MB, binary, bytewise, drop)")
                        .arg(spec));
    }
    return f;
}

bool Fault::appliesTo(const QByteArray &line) const
{
    if (prefix.isEmpty())
        return true;
    return line.trimmed().toUpper().startsWith(prefix.toUpper());
}

bool FaultPlan::dropsConnections() const
{
    return std::any_of(m_faults.cbegin(), m_faults.cend(),
                       [](const Fault &f) { return f.kind == Fault::Kind::Drop; });
}

std::optional<Fault> FaultPlan::next(const QByteArray &line)
{
    ++m_handled;
    if (m_handled <= m_after)
        return std::nullopt;
    for (const Fault &f : m_faults) {
        if (f.kind != Fault::Kind::Drop && f.appliesTo(line))
            return f;
    }
    return std::nullopt;
}

} // namespace zopsim
