#include "link/gpibsearch.h"

#include "link/commlayer.h"
#include "link/gpiblink.h"

namespace zop {

QString CleanIdentification(const QByteArray &reply)
{
    QString text = QString::fromLatin1(reply);
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' '))
        ++first;
    while (last > first && text[last - 1] == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

namespace {

// Puts `CommAddress` and `QuietMode` back however the search ends.
class SearchState {
public:
    SearchState() : m_address(Comm().CommAddress), m_quiet(Comm().QuietMode) {}
    ~SearchState()
    {
        Comm().QuietMode = m_quiet;
        Comm().CommAddress = m_address;
    }
    void beQuiet() { Comm().QuietMode = true; }

private:
    QString m_address;
    bool m_quiet;
};

} // namespace

QList<GpibListing> SearchGpibBus(QString *unusable)
{
    QList<GpibListing> found;
    Gpib &gpib = Comm().gpib;
    QList<quint16> candidates;
    for (quint16 pad = 0; pad < GpibSearch::Candidates; ++pad)
        candidates << pad;
    candidates << GpibConst::NoAddr;
    QList<quint16> results(GpibSearch::ResultLimit, GpibConst::NoAddr);
    try {
        {
            SearchState state;
            gpib.GpibOpen();
            gpib.GpibClear();
            gpib.FindLstn(candidates, results, GpibSearch::ResultLimit);
            state.beQuiet();
            for (const quint16 pad : results) {
                if (pad == GpibConst::NoAddr || pad >= GpibSearch::FirstSecondary)
                    continue;
                Comm().CommAddress = QString::number(pad);
                gpib.GpibOpen();
                gpib.GpibClear();
                gpib.GpibWriteChecked(pad, QByteArrayLiteral("*IDN?\n"));
                if (gpib.failed())
                    continue;
                QByteArray buffer(GpibConst::ReplyBufferChars, ' ');
                gpib.GpibReadChecked(pad, buffer);
                found.append({pad, CleanIdentification(buffer)});
            }
        }
        // The device last probed is not the configured one: open that again.
        gpib.GpibOpen();
    } catch (const LinkError &error) {
        // No usable library: nothing can be found.
        if (unusable)
            *unusable = error.description;
    }
    return found;
}

} // namespace zop
