#include "cli/statusdecode.h"

#include "cli/exitcodes.h"
#include "engine/panellogic.h"
#include "core/numbertext.h"

namespace zop::cli {

QString PowerStateName(qint16 state)
{
    switch (state) {
    case Power::On: return QStringLiteral("on");
    case Power::OnArmed: return QStringLiteral("on, armed");
    default: return QStringLiteral("standby");
    }
}

StatusReading DecodeStatus(const QString &reply, const SeriesSpec &spec, qint16 previousPower,
                           bool shortReplyDefaults, const QString &voltageFormat,
                           const QString &currentFormat)
{
    const auto refuse = [&](const QString &why) {
        QString shown = reply;
        shown.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
        return Failure{Exit::BadReply,
                       QStringLiteral("unexpected reply to <>STA \"%1\": %2").arg(shown, why)};
    };
    if (spec.replyLetterCheck) {
        if (const char letter = ForbiddenReplyLetter(reply))
            throw refuse(QStringLiteral("Result contains '%1'").arg(QLatin1Char(letter)));
    }
    std::vector<qint32> fields;
    try {
        fields = PollFields(reply);
    } catch (const DecodeError &e) {
        throw refuse(e.what);
    }
    if (fields.size() < 4) {
        if (!shortReplyDefaults)
            throw refuse(QStringLiteral("fewer than four fields"));
        // Simulated mode: the panel's defaults, output off.
        fields = {0, 0, DefaultWordA, DefaultWordB, 0};
    }
    StatusReading r;
    r.voltage = fields[0] / 1000.0;
    r.current = fields[1] / 1000.0;
    r.voltageText = DisplayText(r.voltage, voltageFormat, spec.truncatesDisplay);
    r.currentText = DisplayText(r.current, currentFormat, spec.truncatesDisplay);
    r.statusWord = fields[2];
    r.alarmWord = fields[3];
    r.hasMemory = spec.readsMemoryField && fields.size() > 4;
    r.memory = r.hasMemory ? fields[4] : 0;
    r.lamps = LitLamps(spec, r.statusWord, r.alarmWord);

    const StatusBits a = UnpackBits(r.statusWord);
    r.powerState = previousPower;
    if (a[StatusBit::Standby])
        r.powerState = Power::Standby;
    else if (a[StatusBit::Power])
        r.powerState = spec.armLamp && a[StatusBit::Arm] ? Power::OnArmed : Power::On;
    return r;
}

} // namespace zop::cli
