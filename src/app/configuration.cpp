#include "app/configuration.h"

#include "core/inifile.h"
#include "app/moddata.h"
#include "core/numbertext.h"

#include <QDir>
#include <limits>

namespace zop {

bool DebugAccessGranted()
{
    const QString path = QDir(modData().ProgramFolder).filePath(DebugIniFileName);
    return ReadProfileString(path, QStringLiteral("Debug"), QStringLiteral("Type"), QString(), 51)
               .toLower()
           == DebugAccessCode;
}

QString ConfigFilePath()
{
    return QDir(modData().ProgramFolder).filePath(ConfigFileName);
}

qint16 IndexInList(const QStringList &list, const QString &name)
{
    for (qsizetype i = 0; i < list.size() && i < NotInList; ++i) {
        if (list[i].compare(name, Qt::CaseInsensitive) == 0)
            return qint16(i);
    }
    return NotInList;
}

void ReadIniList(const QStringList &lines, const QString &section, QStringList &list,
                 const QString &path)
{
    const ProfileSection keys(lines, section);
    for (int i = 0;; ++i) {
        const QString key = QStringLiteral("Item%1").arg(i, 2, 10, QLatin1Char('0'));
        const QString value = keys.value(key, QStringLiteral("0"), ProfileBufferSize);
        if (value.size() < 2)
            return;
        const double index = RoundHalfEven(LeadingDecimal(value));
        if (index < 0)
            continue;
        if (index >= MaxListIndex) {
            const QString crlf = QStringLiteral("\r\n");
            modData().prompter->Show(QStringLiteral("Error retrieving list from .ini file.") + crlf
                                         + QStringLiteral("Section: ") + section + crlf
                                         + QStringLiteral("INI file: ") + path + crlf
                                         + QStringLiteral("Error: Subscript out of range"),
                                     QStringLiteral("ZOP Panel"), MsgIcon::Critical,
                                     MsgButtons::Ok);
            return;
        }
        const qsizetype at = qsizetype(index);
        list.resize(at + 1);
        const qsizetype comma = value.indexOf(QLatin1Char(','));
        list[at] = comma < 0 ? value : value.mid(comma + 1);
    }
}

namespace {
QString ReadScalar(const QStringList &lines, const char *section, const char *key)
{
    return ProfileValue(lines, QLatin1String(section), QLatin1String(key), QString(),
                        ProfileBufferSize);
}

qint32 PortValue(const QString &text)
{
    const double port = RoundHalfEven(LeadingDecimal(text));
    return port >= std::numeric_limits<qint32>::min() && port <= std::numeric_limits<qint32>::max()
               ? qint32(port)
               : 0;
}
} // namespace

void ReadConfiguration()
{
    ModData &data = modData();
    const QString path = ConfigFilePath();
    const QStringList lines = ReadProfileLines(path);
    auto scalar = [&](const char *section, const char *key) {
        return ReadScalar(lines, section, key);
    };
    data.FormList.clear();
    data.CommList.clear();
    data.SystList.clear();
    ReadIniList(lines, QStringLiteral("Form_List"), data.FormList, path);
    ReadIniList(lines, QStringLiteral("Comm_List"), data.CommList, path);
    ReadIniList(lines, QStringLiteral("Syst_List"), data.SystList, path);

    data.StartupPanel = IndexInList(data.FormList, scalar("Application", "Start-Up").toLower());
    data.CommKind = IndexInList(data.CommList, scalar("Communication", "Comm").toLower());
    data.CommAddress = scalar("Communication", "Address");
    data.CommPort = PortValue(scalar("Communication", "Port"));
    data.CommDevice = scalar("Communication", "Device").trimmed();
    data.SystemType = IndexInList(data.SystList, scalar("System", "Type").toLower());
}

LinkSettingsInFile ReadLinkSettings()
{
    const QStringList lines = ReadProfileLines(ConfigFilePath());
    LinkSettingsInFile link;
    link.kind = IndexInList(modData().CommList, ReadScalar(lines, "Communication", "Comm").toLower());
    link.address = ReadScalar(lines, "Communication", "Address");
    link.port = QString::number(PortValue(ReadScalar(lines, "Communication", "Port")));
    link.device = ReadScalar(lines, "Communication", "Device").trimmed();
    return link;
}

void LoadLinkSettings()
{
    ModData &data = modData();
    const LinkSettingsInFile link = ReadLinkSettings();
    data.CommKind = link.kind;
    data.CommAddress = link.address;
    data.CommPort = link.port.toInt();
    data.CommDevice = link.device;
}

bool WriteConfiguration(const QString &startupName, const QString &linkName,
                        const QString &address, const QString &port, const QString &systemName,
                        const DeviceKeyChange &device, QString *error)
{
    const QString communication = QStringLiteral("Communication");
    QList<ProfileEdit> edits{
        {QStringLiteral("Application"), QStringLiteral("Start-Up"), startupName},
        {communication, QStringLiteral("Comm"), linkName},
        {communication, QStringLiteral("Address"), address},
        {communication, QStringLiteral("Port"), port},
        {QStringLiteral("System"), QStringLiteral("Type"), systemName},
    };
    if (device.action == DeviceKeyChange::Action::Write)
        edits.append({communication, QStringLiteral("Device"), device.path});
    else if (device.action == DeviceKeyChange::Action::Remove)
        edits.append({communication, QStringLiteral("Device"), std::nullopt});
    return WriteProfileStrings(ConfigFilePath(), edits, error);
}

const QStringList &IEEECommandTable()
{
    static const QStringList table{
        QStringLiteral("*ESE"), QStringLiteral("*SRE"), QStringLiteral("*RCL"),
        QStringLiteral("*SAV"), QStringLiteral("*RST"), QStringLiteral("*TRG"),
        QStringLiteral("*ESR"), QStringLiteral("*STB"), QStringLiteral("*IDN"),
        QStringLiteral("*CLS"),
    };
    return table;
}

const QStringList &SCPICommandTable()
{
    static const QStringList table{
        QStringLiteral("SOURce:VOLTage:LEVel:IMMediate:AMPLitude"), // 0
        QStringLiteral("SOURce:CURRent:LEVel:IMMediate:AMPLitude"), // 1
        QStringLiteral("SOURce:VOLTage:PROTection:LEVel"),          // 2
        QStringLiteral("SOURce:CURRent:PROTection:LEVel"),          // 3
        QStringLiteral("SOURce:VOLTage:LEVel:TRIGgered:AMPLitude"), // 4
        QStringLiteral("SOURce:CURRent:LEVel:TRIGgered:AMPLitude"), // 5
        QStringLiteral("SOURce:PERiod"),                            // 6
        QStringLiteral("RECall:MEMory"),                            // 7
        QStringLiteral("OUTPut:START"),                             // 8
        QStringLiteral("OUTPut:STOP"),                              // 9
        QStringLiteral("ABORt"),                                    // 10
        QStringLiteral("OUTPut:PROTection:CLEar"),                  // 11
        QStringLiteral("TRIGger:IMMediate"),                        // 12
        QStringLiteral("INITiate:IMMediate"),                       // 13
        QStringLiteral("CALibrate:IDN"),                            // 14
        QStringLiteral("INITiate:CONTinuous"),                      // 15
        QStringLiteral("MEASure:VOLTage:DC"),                       // 16
        QStringLiteral("MEASure:CURRent:DC"),                       // 17
        QStringLiteral("SYSTem:ERRor"),                             // 18
        QStringLiteral("SYSTem:Version"),                           // 19
        QStringLiteral("STATus:OPERation:CONDition"),               // 20
        QStringLiteral("STATus:QUEStionable:CONDition"),            // 21
        QStringLiteral("CONFigure:REMote:SENSe"),                   // 22
        QStringLiteral("CONFigure:CONTrol:EXTernal"),               // 23
        QStringLiteral("CONFigure:CONTrol:INTernal"),               // 24
        QStringLiteral("CONFigure:INTErlock"),                      // 25
        QStringLiteral("OUTPut:Arm"),                               // 26
        QStringLiteral("SOURce:LASTstep"),                          // 27
        QStringLiteral("OUTPut:STATe"),                             // 28
        QStringLiteral("CALibrate:PASSword"),                       // 29
        QStringLiteral("CALibrate:POT"),                            // 30
        QStringLiteral("CALibrate:SCALe:VOLTage"),                  // 31
        QStringLiteral("CALibrate:SCALe:CURRent"),                  // 32
        QStringLiteral("CALibrate:DEFaults"),                       // 33
        QStringLiteral("CALibrate:STOP"),                           // 34
        QStringLiteral("MODulation:TYPE:SELect"),                   // 35
        QStringLiteral("MODulation:TABLe"),                         // 36
        QStringLiteral("SYSTem:GPIB:VERS"),                         // 37
        QStringLiteral("SYSTem:NET:VERSion"),                       // 38
        QStringLiteral("CONFigure:SETPT"),                          // 39
        QStringLiteral("SYSTem:NET:SERial"),                        // 40
        QStringLiteral("SYSTem:NET:VERS"),                          // 41
        QStringLiteral("CALibrate:SCALe:INPut"),                    // 42
        QStringLiteral("MODulation:TABLe:SlewLIM"),                 // 43
    };
    return table;
}

void FillCommandTables()
{
    modData().IEEECommand = IEEECommandTable();
    modData().SCPICommand = SCPICommandTable();
}

} // namespace zop
