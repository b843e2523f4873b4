#include "engine/instrumentstate.h"

#include "app/moddata.h"
#include "core/numbertext.h"

#include <cmath>
#include <limits>
#include <vector>

namespace zop {

namespace {

// Fields used when a reply is too short (decimal values).
const std::vector<double> AllDefaults{0, 0, 16500, 110000, 0, 0, 9.99};
const std::vector<double> ScaleDefaults{15000, 100000};
const std::vector<double> PotDefaults{128, 128, 128, 128, 128};
const QString DefaultVersion = QStringLiteral("1.0");

double Field(const std::vector<double> &fields, size_t index)
{
    if (index >= fields.size())
        throw DecodeError{QStringLiteral("Subscript out of range")};
    return fields[index];
}

// Sends a query and reads its reply, both unlogged.
QString Query(const QString &command)
{
    QString reply;
    SendCommand(command, false);
    ReadReply(reply, ReplyTimeoutSeconds, false);
    return reply;
}

qint16 ToPotPosition(double value)
{
    const double rounded = RoundHalfEven(value);
    if (rounded < std::numeric_limits<qint16>::min() || rounded > std::numeric_limits<qint16>::max())
        throw DecodeError{QStringLiteral("Overflow")};
    return qint16(rounded);
}

} // namespace

RecordRead ReadAllState()
{
    ModData &data = modData();
    const QString reply = Query(QStringLiteral("<>ALL"));
    RecordRead read{true, QStringLiteral("<>ALL"), reply};
    try {
        std::vector<double> fields = HexFields(reply);
        if (fields.size() < 4) {
            read.decoded = false;
            fields = AllDefaults;
            data.FirmwareVersion = DefaultVersion;
            data.HardwareVersion = DefaultVersion;
        } else {
            read = {true, QStringLiteral("SYST:VERS?"), Query(QStringLiteral("SYST:VERS?"))};
            const QStringList words = SplitFields(read.reply, QLatin1Char(' '));
            if (words.size() < 3) {
                data.FirmwareVersion = FormatNumber(Field(fields, 6) / 1000, QStringLiteral("0.00"));
                data.HardwareVersion = DefaultVersion;
            } else {
                data.FirmwareVersion = FormatNumber(LeadingDecimal(words[2]), QStringLiteral("0.0"));
                if (words.size() < 6)
                    throw DecodeError{QStringLiteral("Subscript out of range")};
                data.HardwareVersion = FormatNumber(LeadingDecimal(words[5]), QStringLiteral("0.0"));
            }
        }
        SettingsRecord settings;
        settings.VoltSet = float(Field(fields, 0) / 1000);
        settings.CurrSet = float(Field(fields, 1) / 1000);
        settings.VoltProt = float(Field(fields, 2) / 1000);
        settings.CurrProt = float(Field(fields, 3) / 1000);
        settings.Period = float(RoundHalfEven(Field(fields, 4) / 1000));
        settings.MemLoc = float(Field(fields, 5));
        data.Settings = settings;
        BackupSettings();
    } catch (const DecodeError &) {
        // A malformed reply keeps what was stored so far.
        read.decoded = false;
    }
    return read;
}

RecordRead ReadScales()
{
    ModData &data = modData();
    const QString reply = Query(QStringLiteral("<>SCL"));
    RecordRead read{true, QStringLiteral("<>SCL"), reply};
    try {
        std::vector<double> fields = HexFields(reply);
        if (fields.size() < 2) {
            read.decoded = false;
            fields = ScaleDefaults;
        }
        RatingsRecord &r = data.Ratings;
        r.VoltMax = float(fields[0] / 1000);
        r.CurrMax = float(fields[1] / 1000);
        r.VoltHigh = 1.1f * r.VoltMax;
        r.VoltLow = 0.1f * r.VoltMax;
        r.CurrHigh = 1.1f * r.CurrMax;
        r.CurrLow = 0.1f * r.CurrMax;
        data.RatingsBackup = r;
        ChooseNumberFormats();
    } catch (const DecodeError &) {
        read.decoded = false;
    }
    return read;
}

RecordRead ReadPots()
{
    ModData &data = modData();
    const QString reply = Query(QStringLiteral("<>POT"));
    RecordRead read{true, QStringLiteral("<>POT"), reply};
    try {
        std::vector<double> fields = HexFields(reply);
        if (fields.size() < 4) {
            read.decoded = false;
            fields = PotDefaults;
        }
        for (size_t i = 0; i < data.Pots.size(); ++i)
            data.Pots[i] = ToPotPosition(Field(fields, i));
        BackupPots();
    } catch (const DecodeError &) {
        read.decoded = false;
    }
    return read;
}

void BackupSettings() { modData().SettingsBackup = modData().Settings; }
void RestoreSettings() { modData().Settings = modData().SettingsBackup; }
void RestoreRatings() { modData().Ratings = modData().RatingsBackup; }
void BackupPots() { modData().PotsBackup = modData().Pots; }
void RestorePots() { modData().Pots = modData().PotsBackup; }

QString FormatForRating(double rating)
{
    if (rating < 8)
        return QStringLiteral("0.000");
    if (rating < 80)
        return QStringLiteral("0.00");
    if (rating < 800)
        return QStringLiteral("0.0");
    if (rating <= 8000)
        return QStringLiteral("0.");
    return QString();
}

bool ChooseNumberFormats()
{
    ModData &data = modData();
    data.VoltageFormat = FormatForRating(data.Ratings.VoltMax);
    data.CurrentFormat = FormatForRating(data.Ratings.CurrMax);
    return !(data.Ratings.VoltMax > 8000) && !(data.Ratings.CurrMax > 8000);
}

qint32 RefreshInstrumentState()
{
    FlushInput();
    ReadScales();
    ReadAllState();
    ModData &data = modData();
    SendCommand(QStringLiteral("SYST:ERR?"), false);
    return ReadReply(data.LastErrorReply, ReplyTimeoutSeconds, false);
}

} // namespace zop
