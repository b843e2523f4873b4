#include "instrument.h"

#include "modulation.h"
#include "powersupply.h"
#include "scpi.h"

#include <QHash>
#include <QRegularExpression>

#include <vector>

namespace zopsim {

using scpi::formatDecimal;
using scpi::formatThousandths;

enum class Instrument::Cmd {
    // The command table the panel sends from, in its order.
    Volt, Curr, VoltProt, CurrProt, VoltTrig, CurrTrig, Period, RecallMem, OutpStart, OutpStop,
    Abort, ProtClear, TrigImm, InitImm, CalIdn, InitCont, MeasVolt, MeasCurr, SystErr, SystVers,
    StatOper, StatQues, ConfRemSens, ConfContExt, ConfContInt, ConfInterlock, OutpArm, LastStep,
    OutpState, CalPass, CalPot, CalScalVolt, CalScalCurr, CalDefaults, CalStop, ModTypeSel,
    ModTable, SystGpibVers, NetVersion, ConfSetpt, NetSerial, CalScalInp, ModSlew,
    // Headers the panel's setup dialogs and the modulation panel send besides the table.
    ModTableSave, NetModuleVersion, NetMac, NetDhcp, NetHost, NetPort, NetAddress, NetSubnet,
    NetGateway, GpibVersion, GpibAddress, SerialVersion, SerialAddress,
};

namespace {

struct HeaderEntry
{
    Instrument::Cmd cmd;
    scpi::HeaderPattern pattern;
};

QString yesNo(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

QString hex(qint64 value)
{
    return QString::number(qMax<qint64>(0, value), 16).toUpper();
}

QString firmwareText(double version)
{
    return QString::number(version, 'f', 2);
}

QString unquote(const QString &text)
{
    QString t = text.trimmed();
    if (t.size() >= 2 && t.front() == t.back()
        && (t.front() == QLatin1Char('"') || t.front() == QLatin1Char('\''))) {
        t = t.mid(1, t.size() - 2);
    }
    return t;
}

bool isDottedQuad(const QString &text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString &p : parts) {
        bool ok = false;
        const int v = p.toInt(&ok);
        if (!ok || p.isEmpty() || p.size() > 3 || v < 0 || v > 255)
            return false;
    }
    return true;
}

} // namespace

// The header table. Bracketed nodes may be left out. The panel's own command table is
// covered entry by entry (two of its entries, "SYSTem:NET:VERSion" and "SYSTem:NET:VERS",
// are the same header). To teach the emulator a new header, add a Cmd, a row here and a case
// in execute().
static const std::vector<std::pair<Instrument::Cmd, const char *>> &headerRows()
{
    using C = Instrument::Cmd;
    static const std::vector<std::pair<C, const char *>> rows = {
        {C::Volt, "[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]"},
        {C::Curr, "[SOURce:]CURRent[:LEVel][:IMMediate][:AMPLitude]"},
        {C::VoltProt, "[SOURce:]VOLTage:PROTection[:LEVel]"},
        {C::CurrProt, "[SOURce:]CURRent:PROTection[:LEVel]"},
        {C::VoltTrig, "[SOURce:]VOLTage[:LEVel]:TRIGgered[:AMPLitude]"},
        {C::CurrTrig, "[SOURce:]CURRent[:LEVel]:TRIGgered[:AMPLitude]"},
        {C::Period, "[SOURce:]PERiod"},
        {C::RecallMem, "[RECall:]MEMory"},
        {C::OutpStart, "OUTPut:START"},
        {C::OutpStop, "OUTPut:STOP"},
        {C::Abort, "ABORt"},
        {C::ProtClear, "OUTPut:PROTection:CLEar"},
        {C::TrigImm, "TRIGger[:IMMediate]"},
        {C::InitImm, "INITiate[:IMMediate]"},
        {C::CalIdn, "CALibrate:IDN"},
        {C::InitCont, "INITiate:CONTinuous"},
        {C::MeasVolt, "MEASure:VOLTage[:DC]"},
        {C::MeasCurr, "MEASure:CURRent[:DC]"},
        {C::SystErr, "SYSTem:ERRor[:NEXT]"},
        {C::SystVers, "SYSTem:Version"},
        {C::StatOper, "STATus:OPERation[:CONDition]"},
        {C::StatQues, "STATus:QUEStionable[:CONDition]"},
        {C::ConfRemSens, "CONFigure:REMote:SENSe"},
        {C::ConfContExt, "CONFigure:CONTrol:EXTernal"},
        {C::ConfContInt, "CONFigure:CONTrol:INTernal"},
        {C::ConfInterlock, "CONFigure:INTErlock"},
        {C::OutpArm, "OUTPut:Arm"},
        {C::LastStep, "[SOURce:]LASTstep"},
        {C::OutpState, "OUTPut[:STATe]"},
        {C::CalPass, "CALibrate:PASSword"},
        {C::CalPot, "CALibrate:POT"},
        {C::CalScalVolt, "CALibrate:SCALe:VOLTage"},
        {C::CalScalCurr, "CALibrate:SCALe:CURRent"},
        {C::CalDefaults, "CALibrate:DEFaults"},
        {C::CalStop, "CALibrate:STOP"},
        {C::ModTypeSel, "MODulation:TYPE[:SELect]"},
        {C::ModTable, "MODulation:TABLe"},
        {C::SystGpibVers, "SYSTem:GPIB:VERS"},
        {C::NetVersion, "SYSTem:NET:VERSion"},
        {C::ConfSetpt, "CONFigure:SETPT"},
        {C::NetSerial, "SYSTem:NET:SERial"},
        {C::NetVersion, "SYSTem:NET:VERS"},
        {C::CalScalInp, "CALibrate:SCALe:INPut"},
        {C::ModSlew, "MODulation:TABLe:SlewLIM"},
        {C::ModTableSave, "MODulation:TABLe:SAVE"},
        {C::NetModuleVersion, "SYSTem:COMMunicate:NETwork:VERSion"},
        {C::NetMac, "SYSTem:COMMunicate:NETwork:MAC"},
        {C::NetDhcp, "SYSTem:COMMunicate:NETwork:DHCP"},
        {C::NetHost, "SYSTem:COMMunicate:NETwork:HOSTname"},
        {C::NetPort, "SYSTem:COMMunicate:NETwork:PORT"},
        {C::NetAddress, "SYSTem:COMMunicate:NETwork:ADDRess"},
        {C::NetSubnet, "SYSTem:COMMunicate:NETwork:SUBNet"},
        {C::NetGateway, "SYSTem:COMMunicate:NETwork:GATEway"},
        {C::GpibVersion, "GPIB:VERSion"},
        {C::GpibAddress, "GPIB:ADDRess"},
        {C::SerialVersion, "SERial:VERSion"},
        {C::SerialAddress, "SYSTem:COMMunicate:SERial:ADDRess"},
    };
    return rows;
}

static const std::vector<HeaderEntry> &headerTable()
{
    static const std::vector<HeaderEntry> table = [] {
        std::vector<HeaderEntry> t;
        for (const auto &[cmd, pattern] : headerRows())
            t.push_back({cmd, scpi::HeaderPattern(QString::fromLatin1(pattern))});
        return t;
    }();
    return table;
}

// The table's entries by the first word of a header they can match, in the table's order, so
// that a line is tried against a few patterns rather than all of them.
static const QHash<QString, std::vector<const HeaderEntry *>> &headerIndex()
{
    static const QHash<QString, std::vector<const HeaderEntry *>> index = [] {
        QHash<QString, std::vector<const HeaderEntry *>> byWord;
        for (const HeaderEntry &entry : headerTable()) {
            for (const QString &word : entry.pattern.firstSpellings())
                byWord[word].push_back(&entry);
        }
        return byWord;
    }();
    return index;
}

Instrument::Instrument(PowerSupply &supply) : m_supply(supply) {}

bool Instrument::isBlank(QByteArrayView line)
{
    for (char c : line) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return true;
}

void Instrument::rejectOverlongLine()
{
    m_supply.markRemote();
    m_supply.pushError(Err::TooMuchData, QStringLiteral("Too much data; line too long"));
}

QString Instrument::identification() const
{
    return QStringLiteral("Zoptrel,ZOP-SIM %1,0,%2")
        .arg(seriesName(m_supply.config().series), firmwareText(m_supply.config().firmwareVersion));
}

QString Instrument::versionLine() const
{
    if (!m_supply.systemVersion().isEmpty())
        return m_supply.systemVersion();
    return QStringLiteral("ZOP-SIM Firmware %1 Hardware Revision %2")
        .arg(firmwareText(m_supply.config().firmwareVersion),
             firmwareText(m_supply.config().hardwareVersion));
}

QByteArray Instrument::handleLine(QByteArrayView raw)
{
    const QString line = QString::fromLatin1(raw.data(), raw.size()).trimmed();
    if (line.isEmpty())
        return {};
    m_supply.update();
    m_supply.markRemote();
    m_line = line;
    const std::optional<QString> reply = dispatch(line);
    if (!reply)
        return {};
    QString text = *reply;
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.toLatin1() + "\r\n";
}

void Instrument::undefinedHeader()
{
    m_supply.pushError(Err::UndefinedHeader, QStringLiteral("Undefined header"));
    if (m_undefinedHook)
        m_undefinedHook(m_line);
}

std::optional<QString> Instrument::dispatch(const QString &line)
{
    if (line.startsWith(QLatin1String("<>")))
        return proprietary(line.mid(2));

    static const QRegularExpression blank(QStringLiteral("[ \\t]"));
    const qsizetype split = line.indexOf(blank);
    QString header = split < 0 ? line : line.left(split);
    const QString params = split < 0 ? QString() : line.mid(split + 1).trimmed();
    const bool query = header.endsWith(QLatin1Char('?'));
    if (query)
        header.chop(1);

    if (header.startsWith(QLatin1Char('*')))
        return common(header.mid(1).toUpper(), query, params);
    const QStringList nodes = scpi::HeaderPattern::tokens(header);
    const auto &index = headerIndex();
    const auto candidates = nodes.isEmpty() ? index.cend() : index.constFind(nodes.first());
    if (candidates != index.cend()) {
        for (const HeaderEntry *entry : *candidates) {
            if (entry->pattern.matches(nodes))
                return execute(entry->cmd, query, params);
        }
    }
    undefinedHeader();
    return std::nullopt;
}

// ---------------------------------------------------------------- parameters

bool Instrument::noParameter(const QString &params)
{
    if (params.isEmpty())
        return true;
    m_supply.pushError(Err::ParameterNotAllowed, QStringLiteral("Parameter not allowed"));
    return false;
}

std::optional<double> Instrument::number(const QString &params)
{
    if (params.isEmpty()) {
        m_supply.pushError(Err::MissingParameter, QStringLiteral("Missing parameter"));
        return std::nullopt;
    }
    const auto value = scpi::parseNumber(params);
    if (!value)
        m_supply.pushError(Err::DataTypeError, QStringLiteral("Data type error"));
    return value;
}

std::optional<int> Instrument::integer(const QString &params)
{
    const auto value = number(params);
    if (!value)
        return std::nullopt;
    if (*value < -2.0e9 || *value > 2.0e9) {
        m_supply.pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
        return std::nullopt;
    }
    return int(qRound64(*value));
}

std::optional<bool> Instrument::boolean(const QString &params)
{
    if (params.isEmpty()) {
        m_supply.pushError(Err::MissingParameter, QStringLiteral("Missing parameter"));
        return std::nullopt;
    }
    const auto value = scpi::parseBoolean(params);
    if (!value)
        m_supply.pushError(Err::DataTypeError, QStringLiteral("Data type error"));
    return value;
}

std::optional<double> Instrument::level(const QString &params, qint64 maxThousandths,
                                        qint64 defThousandths)
{
    const QString p = params.trimmed().toUpper();
    if (p == QLatin1String("MIN") || p == QLatin1String("MINIMUM"))
        return 0.0;
    if (p == QLatin1String("MAX") || p == QLatin1String("MAXIMUM"))
        return double(maxThousandths) / 1000.0;
    if (p == QLatin1String("DEF") || p == QLatin1String("DEFAULT"))
        return double(defThousandths) / 1000.0;
    return number(params);
}

// ---------------------------------------------------------------- "<>" commands

std::optional<QString> Instrument::proprietary(const QString &rest)
{
    static const QRegularExpression blank(QStringLiteral("[ \\t]"));
    const qsizetype split = rest.indexOf(blank);
    QString name = (split < 0 ? rest : rest.left(split)).toUpper();
    const QString params = split < 0 ? QString() : rest.mid(split + 1).trimmed();
    if (name.endsWith(QLatin1Char('?')))
        name.chop(1);
    PowerSupply &s = m_supply;

    if (name == QLatin1String("STA")) {
        return QStringList{hex(s.voltageReadingMv()), hex(s.currentReadingMa()),
                           hex(s.statusWordA()), hex(s.statusWordB()), hex(s.memoryLocation())}
            .join(QLatin1Char(','));
    }
    if (name == QLatin1String("ALL")) {
        const Setpoints &p = s.setpoints();
        return QStringList{hex(p.voltMv), hex(p.currMa), hex(p.ovpMv), hex(p.ocpMa),
                           hex(p.periodMs), hex(s.memoryLocation()),
                           hex(qRound64(s.config().firmwareVersion * 1000.0))}
            .join(QLatin1Char(','));
    }
    if (name == QLatin1String("SCL"))
        return hex(s.ratedVoltMv()) + QLatin1Char(',') + hex(s.ratedCurrMa());
    if (name == QLatin1String("POT")) {
        QStringList fields;
        for (int i = 0; i < PowerSupply::PotCount; ++i)
            fields << hex(s.pot(i));
        return fields.join(QLatin1Char(','));
    }
    if (name == QLatin1String("CHG")) {
        // Menu level, item and sub-state of the panel's menu; item and sub-state may be left
        // out ("<>CHG 10,3").
        const QStringList parts = scpi::splitParameters(params);
        if (parts.isEmpty()) {
            s.pushError(Err::MissingParameter, QStringLiteral("Missing parameter"));
            return std::nullopt;
        }
        if (parts.size() > 3) {
            s.pushError(Err::ParameterNotAllowed, QStringLiteral("Parameter not allowed"));
            return std::nullopt;
        }
        int values[3] = {0, -1, 0};
        for (int i = 0; i < parts.size(); ++i) {
            const auto v = integer(parts.at(i));
            if (!v)
                return std::nullopt;
            values[i] = *v;
        }
        s.panel().menuLevel = values[0];
        if (parts.size() > 1)
            s.panel().menuItem = values[1];
        if (parts.size() > 2)
            s.panel().menuSub = values[2];
        return std::nullopt;
    }
    if (name == QLatin1String("IGN")) {
        if (const auto v = integer(params))
            s.panel().ignoreFrontPanel = *v != 0;
        return std::nullopt;
    }
    if (name == QLatin1String("TYP")) {
        if (const auto v = integer(params))
            s.panel().entryMode = *v;
        return std::nullopt;
    }
    if (name == QLatin1String("PRO")) {
        s.panel().promptText = params;
        return std::nullopt;
    }
    if (name == QLatin1String("CLR")) {
        // The panel's CLEAR key: 0 on release; 1 after a 5 s hold clears latched alarms; 2
        // after a 10 s hold also returns the setpoints to their power-on values.
        if (const auto v = integer(params)) {
            s.panel().clearLevel = *v;
            if (*v != 0)
                s.clearProtection();
            if (*v >= 2)
                s.restorePowerOnSetpoints();
        }
        return std::nullopt;
    }
    if (name == QLatin1String("RST")) {
        // Restarts the network interface.
        if (noParameter(params)) {
            ++s.interfaces().restarts;
            if (s.interfaces().restartHandler)
                s.interfaces().restartHandler();
        }
        return std::nullopt;
    }
    undefinedHeader();
    return std::nullopt;
}

// ---------------------------------------------------------------- IEEE 488.2 common commands

std::optional<QString> Instrument::common(const QString &name, bool query, const QString &params)
{
    PowerSupply &s = m_supply;
    if (name == QLatin1String("IDN"))
        return query ? std::optional<QString>(identification()) : std::nullopt;
    if (name == QLatin1String("ESR"))
        return query ? std::optional<QString>(QString::number(s.takeEventStatus())) : std::nullopt;
    if (name == QLatin1String("STB"))
        return query ? std::optional<QString>(QString::number(s.statusByte())) : std::nullopt;
    if (name == QLatin1String("ESE") || name == QLatin1String("SRE")) {
        const bool ese = name == QLatin1String("ESE");
        if (query)
            return QString::number(ese ? s.eventStatusEnable() : s.serviceRequestEnable());
        if (const auto v = integer(params)) {
            if (*v < 0 || *v > 255) {
                s.pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
            } else if (ese) {
                s.setEventStatusEnable(*v);
            } else {
                s.setServiceRequestEnable(*v);
            }
        }
        return std::nullopt;
    }
    if (name == QLatin1String("RCL") || name == QLatin1String("SAV")) {
        if (query)
            return QString::number(s.memoryLocation());
        if (const auto v = integer(params)) {
            if (name == QLatin1String("RCL"))
                s.recall(*v);
            else
                s.save(*v);
        }
        return std::nullopt;
    }
    if (name == QLatin1String("RST") || name == QLatin1String("CLS")) {
        if (query)
            return QStringLiteral("0");
        if (noParameter(params)) {
            if (name == QLatin1String("RST"))
                s.reset();
            else
                s.clearStatus();
        }
        return std::nullopt;
    }
    if (name == QLatin1String("TRG")) {
        if (query)
            return yesNo(s.waitingForTrigger());
        if (noParameter(params))
            s.trigger();
        return std::nullopt;
    }
    if (name == QLatin1String("OPC")) {
        if (query)
            return QStringLiteral("1");
        if (noParameter(params))
            s.operationComplete();
        return std::nullopt;
    }
    if (name == QLatin1String("WAI"))
        return query ? std::optional<QString>(QStringLiteral("0")) : std::nullopt;
    if (name == QLatin1String("TST"))
        return query ? std::optional<QString>(QStringLiteral("0")) : std::nullopt;
    undefinedHeader();
    return std::nullopt;
}

// ---------------------------------------------------------------- SCPI headers

std::optional<QString> Instrument::execute(Cmd cmd, bool query, const QString &params)
{
    PowerSupply &s = m_supply;
    const Setpoints &set = s.setpoints();
    using C = Cmd;

    switch (cmd) {
    // --- levels
    case C::Volt:
        if (query)
            return formatThousandths(set.voltMv);
        if (const auto v = level(params, s.voltLimitMv(), 0))
            s.setVoltage(*v);
        return std::nullopt;
    case C::Curr:
        if (query)
            return formatThousandths(set.currMa);
        if (const auto v = level(params, s.currLimitMa(), 0))
            s.setCurrent(*v);
        return std::nullopt;
    case C::VoltProt:
        if (query)
            return formatThousandths(set.ovpMv);
        if (const auto v = level(params, s.voltLimitMv(), s.voltLimitMv()))
            s.setOverVoltage(*v);
        return std::nullopt;
    case C::CurrProt:
        if (query)
            return formatThousandths(set.ocpMa);
        if (const auto v = level(params, s.currLimitMa(), s.currLimitMa()))
            s.setOverCurrent(*v);
        return std::nullopt;
    case C::VoltTrig:
        if (query)
            return formatThousandths(s.triggeredVoltMv());
        if (const auto v = level(params, s.voltLimitMv(), 0))
            s.setTriggeredVoltage(*v);
        return std::nullopt;
    case C::CurrTrig:
        if (query)
            return formatThousandths(s.triggeredCurrMa());
        if (const auto v = level(params, s.currLimitMa(), 0))
            s.setTriggeredCurrent(*v);
        return std::nullopt;
    case C::Period: // seconds on the wire
        if (query)
            return formatThousandths(set.periodMs);
        if (const auto v = level(params, PowerSupply::PeriodMaxMs, 0))
            s.setPeriod(*v);
        return std::nullopt;
    case C::RecallMem:
        if (query)
            return QString::number(s.memoryLocation());
        if (const auto v = integer(params))
            s.recall(*v);
        return std::nullopt;

    // --- output and trigger actions; their queries report the state they act on
    case C::OutpStart:
        if (query)
            return yesNo(s.outputOn());
        if (noParameter(params))
            s.start();
        return std::nullopt;
    case C::OutpStop:
        if (query)
            return yesNo(!s.outputOn());
        if (noParameter(params))
            s.stop();
        return std::nullopt;
    case C::Abort:
        if (query)
            return yesNo(s.waitingForTrigger());
        if (noParameter(params))
            s.abort();
        return std::nullopt;
    case C::ProtClear:
        if (query)
            return yesNo(s.latchedAlarms() != 0);
        if (noParameter(params))
            s.clearProtection();
        return std::nullopt;
    case C::TrigImm:
        if (query)
            return yesNo(s.waitingForTrigger());
        if (noParameter(params))
            s.trigger();
        return std::nullopt;
    case C::InitImm:
        if (query)
            return yesNo(s.waitingForTrigger());
        if (noParameter(params))
            s.initiate();
        return std::nullopt;
    case C::InitCont:
        if (query)
            return yesNo(s.initContinuous());
        if (const auto v = boolean(params))
            s.setInitContinuous(*v);
        return std::nullopt;
    case C::OutpArm:
        if (query)
            return yesNo(s.armed());
        if (params.isEmpty()) {
            s.setArmed(true);
        } else if (const auto v = boolean(params)) {
            s.setArmed(*v);
        }
        return std::nullopt;
    case C::OutpState:
        if (query)
            return yesNo(s.outputOn());
        if (const auto v = boolean(params)) {
            if (*v)
                s.start();
            else
                s.stop();
        }
        return std::nullopt;

    // --- readings and status; a value sent to them is ignored
    case C::MeasVolt:
        return query ? std::optional<QString>(formatThousandths(s.voltageReadingMv())) : std::nullopt;
    case C::MeasCurr:
        return query ? std::optional<QString>(formatThousandths(s.currentReadingMa())) : std::nullopt;
    case C::SystErr:
        return query ? std::optional<QString>(ErrorQueue::format(s.errors().pop())) : std::nullopt;
    case C::SystVers:
        if (query)
            return versionLine();
        if (params.isEmpty())
            s.pushError(Err::MissingParameter, QStringLiteral("Missing parameter"));
        else
            s.setSystemVersion(unquote(params));
        return std::nullopt;
    case C::StatOper:
        return query ? std::optional<QString>(QString::number(s.statusWordA())) : std::nullopt;
    case C::StatQues:
        return query ? std::optional<QString>(QString::number(s.statusWordB())) : std::nullopt;
    case C::SystGpibVers:
        return query ? std::optional<QString>(QStringLiteral("ZOP-SIM GPIB Module Version ")
                                              + s.interfaces().gpibVersion)
                     : std::nullopt;

    // --- configuration
    case C::ConfRemSens:
        if (query)
            return yesNo(s.remoteSense());
        if (const auto v = boolean(params))
            s.setRemoteSense(*v);
        return std::nullopt;
    case C::ConfContExt:
        if (query)
            return yesNo(s.externalControl());
        if (const auto v = boolean(params))
            s.setExternalControl(*v);
        return std::nullopt;
    case C::ConfContInt:
        if (query)
            return yesNo(!s.externalControl());
        if (const auto v = boolean(params))
            s.setExternalControl(!*v);
        return std::nullopt;
    case C::ConfInterlock:
        if (query)
            return yesNo(s.interlockEnabled());
        if (const auto v = boolean(params))
            s.setInterlockEnabled(*v);
        return std::nullopt;
    case C::ConfSetpt:
        if (query)
            return QString::number(s.setpointSource());
        if (const auto v = integer(params))
            s.setSetpointSource(*v);
        return std::nullopt;
    case C::LastStep:
        if (query)
            return formatDecimal(s.lastStep(), 0);
        if (const auto v = number(params))
            s.setLastStep(*v);
        return std::nullopt;

    // --- calibration
    case C::CalPass:
        if (query)
            return QString::number(int(s.calAccess()));
        if (params.isEmpty())
            s.pushError(Err::MissingParameter, QStringLiteral("Missing parameter"));
        else
            s.enterPassword(unquote(params));
        return std::nullopt;
    case C::CalPot: {
        const QStringList parts = scpi::splitParameters(params);
        if (query) {
            if (parts.isEmpty()) {
                QStringList all;
                for (int i = 0; i < PowerSupply::PotCount; ++i)
                    all << QString::number(s.pot(i));
                return all.join(QLatin1Char(','));
            }
            const auto n = integer(parts.at(0));
            if (!n)
                return std::nullopt;
            if (*n < 1 || *n > PowerSupply::PotCount) {
                s.pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
                return std::nullopt;
            }
            return QString::number(s.pot(*n - 1));
        }
        if (parts.size() < 2) {
            s.pushError(Err::MissingParameter, QStringLiteral("Missing parameter"));
            return std::nullopt;
        }
        if (parts.size() > 2) {
            s.pushError(Err::ParameterNotAllowed, QStringLiteral("Parameter not allowed"));
            return std::nullopt;
        }
        const auto n = integer(parts.at(0));
        const auto v = n ? integer(parts.at(1)) : std::nullopt;
        if (n && v)
            s.setPot(*n, *v);
        return std::nullopt;
    }
    case C::CalScalVolt:
        if (query)
            return formatThousandths(s.ratedVoltMv());
        if (const auto v = number(params))
            s.setRatedVolts(*v);
        return std::nullopt;
    case C::CalScalCurr:
        if (query)
            return formatThousandths(s.ratedCurrMa());
        if (const auto v = number(params))
            s.setRatedAmps(*v);
        return std::nullopt;
    case C::CalScalInp:
        if (query)
            return formatDecimal(s.inputScaleVolts(), 3);
        if (const auto v = number(params))
            s.setInputScaleVolts(*v);
        return std::nullopt;
    case C::CalDefaults:
        if (query)
            return yesNo(s.potsAtDefault());
        if (noParameter(params))
            s.defaultPots();
        return std::nullopt;
    case C::CalStop:
        if (query)
            return QString::number(int(s.calAccess()));
        if (noParameter(params))
            s.endCalibration();
        return std::nullopt;
    case C::CalIdn:
        if (query)
            return s.calibrationId();
        if (params.isEmpty())
            s.pushError(Err::MissingParameter, QStringLiteral("Missing parameter"));
        else
            s.setCalibrationId(unquote(params));
        return std::nullopt;

    // --- modulation
    case C::ModTypeSel: {
        ModulationTable &m = s.modulation();
        if (query)
            return QStringLiteral("%1,%2").arg(m.controlInput).arg(m.type);
        const QStringList parts = scpi::splitParameters(params);
        if (parts.isEmpty()) {
            s.pushError(Err::MissingParameter, QStringLiteral("Missing parameter"));
            return std::nullopt;
        }
        if (parts.size() > 2) {
            s.pushError(Err::ParameterNotAllowed, QStringLiteral("Parameter not allowed"));
            return std::nullopt;
        }
        const auto input = integer(parts.at(0));
        const auto type = !input ? std::nullopt
                          : parts.size() > 1 ? integer(parts.at(1))
                                             : std::optional<int>(m.type);
        if (!input || !type)
            return std::nullopt;
        if (*input < 0 || *input > 2 || *type < 0 || *type > 1) {
            s.pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
            return std::nullopt;
        }
        m.controlInput = *input;
        m.type = *type;
        return std::nullopt;
    }
    case C::ModTable: {
        ModulationTable &m = s.modulation();
        if (query) {
            const auto row = integer(params);
            if (!row)
                return std::nullopt;
            if (*row < 1 || *row > ModulationTable::Rows) {
                s.pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
                return std::nullopt;
            }
            return modulation::rowReply(m, *row);
        }
        // row(VMOD,value)
        static const QRegularExpression rowForm(
            QStringLiteral("^\\s*([^(\\s]+)\\s*\\(([^,]*),([^)]*)\\)\\s*$"));
        const auto match = rowForm.match(params);
        if (params.isEmpty()) {
            s.pushError(Err::MissingParameter, QStringLiteral("Missing parameter"));
            return std::nullopt;
        }
        if (!match.hasMatch()) {
            s.pushError(Err::DataTypeError, QStringLiteral("Data type error"));
            return std::nullopt;
        }
        const auto row = integer(match.captured(1));
        const auto vmod = row ? number(match.captured(2).trimmed()) : std::nullopt;
        const auto value = vmod ? number(match.captured(3).trimmed()) : std::nullopt;
        if (!value)
            return std::nullopt;
        if (*row < 1 || *row > ModulationTable::Rows) {
            s.pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
            return std::nullopt;
        }
        modulation::writeRow(m, *row, *vmod, *value);
        return std::nullopt;
    }
    case C::ModSlew:
        if (query)
            return formatDecimal(s.modulation().slewLimit, 3);
        if (const auto v = number(params)) {
            if (*v < 0.0)
                s.pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
            else
                s.modulation().slewLimit = *v;
        }
        return std::nullopt;
    case C::ModTableSave:
        if (query)
            return QString::number(s.modulation().saveCount);
        if (noParameter(params)) {
            modulation::saveToEeprom(s.modulation());
        }
        return std::nullopt;

    // --- network and bus interfaces
    case C::NetVersion:
    case C::NetSerial:
    case C::NetModuleVersion:
    case C::NetMac:
    case C::NetDhcp:
    case C::NetHost:
    case C::NetPort:
    case C::NetAddress:
    case C::NetSubnet:
    case C::NetGateway:
        return networkSetting(cmd, query, params);
    case C::GpibVersion:
        return query ? std::optional<QString>(QStringLiteral("ZOP-SIM GPIB ")
                                              + s.interfaces().gpibVersion)
                     : std::nullopt;
    case C::SerialVersion:
        return query ? std::optional<QString>(QStringLiteral("ZOP-SIM RS-485 ")
                                              + s.interfaces().serialVersion)
                     : std::nullopt;
    case C::GpibAddress:
    case C::SerialAddress: {
        const bool gpib = cmd == C::GpibAddress;
        int &address = gpib ? s.interfaces().gpibAddress : s.interfaces().serialAddress;
        if (query)
            return QString::number(address);
        if (const auto v = integer(params)) {
            if (*v < 1 || *v > (gpib ? 30 : 255))
                s.pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
            else
                address = *v;
        }
        return std::nullopt;
    }
    }
    undefinedHeader();
    return std::nullopt;
}

// The network interface's settings. Unlike the rest, a set command here is acknowledged with
// one line holding the setting's value afterwards (the new value, or the old one when the
// value was refused). The serial number and hardware revision change only when the scale
// access code follows the value ("SYST:NET:SER ZS00042 6043").
std::optional<QString> Instrument::networkSetting(Cmd cmd, bool query, const QString &params)
{
    PowerSupply &s = m_supply;
    InterfaceSettings &n = s.interfaces();
    using C = Cmd;

    auto reply = [&]() -> QString {
        switch (cmd) {
        case C::NetVersion: return QStringLiteral("ZOP-SIM Ethernet Module Hardware Rev. ") + n.netHardware;
        case C::NetSerial: return n.netSerial;
        case C::NetModuleVersion: return n.netVersion;
        case C::NetMac: return n.mac;
        case C::NetDhcp: return yesNo(n.dhcp);
        case C::NetHost: return n.host;
        case C::NetPort: return n.port;
        case C::NetAddress: return n.address;
        case C::NetSubnet: return n.subnet;
        case C::NetGateway: return n.gateway;
        default: return QString();
        }
    };
    if (query)
        return reply();

    switch (cmd) {
    case C::NetVersion:
    case C::NetSerial: {
        QStringList words = params.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() >= 2 && words.last() == QString::number(PowerSupply::ScaleCode)) {
            words.removeLast();
            (cmd == C::NetSerial ? n.netSerial : n.netHardware) = words.join(QLatin1Char(' '));
        } else if (params.isEmpty()) {
            s.pushError(Err::MissingParameter, QStringLiteral("Missing parameter"));
        } else {
            s.pushError(Err::CommandProtected, QStringLiteral("Command protected"));
        }
        break;
    }
    case C::NetModuleVersion:
    case C::NetMac:
        break; // read-only
    case C::NetDhcp:
        if (const auto v = boolean(params))
            n.dhcp = *v;
        break;
    case C::NetHost:
        if (params.isEmpty())
            s.pushError(Err::MissingParameter, QStringLiteral("Missing parameter"));
        else
            n.host = unquote(params);
        break;
    case C::NetPort:
        if (const auto v = integer(params)) {
            if (*v < 1 || *v > 65534)
                s.pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
            else
                n.port = QString::number(*v);
        }
        break;
    case C::NetAddress:
    case C::NetSubnet:
    case C::NetGateway:
        if (params.isEmpty()) {
            s.pushError(Err::MissingParameter, QStringLiteral("Missing parameter"));
        } else if (!isDottedQuad(params)) {
            s.pushError(Err::DataOutOfRange, QStringLiteral("Data out of range"));
        } else {
            QString &target = cmd == C::NetAddress ? n.address
                              : cmd == C::NetSubnet ? n.subnet
                                                    : n.gateway;
            target = params.trimmed();
        }
        break;
    default:
        break;
    }
    return reply();
}

} // namespace zopsim
