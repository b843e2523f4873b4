#include "rs485.h"

#include "instrument.h"
#include "powersupply.h"

namespace zopsim {

namespace {
constexpr char DC3 = 19;
constexpr char SOH = 1;
constexpr char CR = 13;
constexpr char LF = 10;

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

Rs485Station::Rs485Station(Instrument &instrument, FaultPlan *faults, int address)
    : m_plain(instrument, faults), m_framed(instrument, faults),
      m_address(instrument.supply().interfaces().serialAddress)
{
    m_address = qBound(0, address, 255); // the instrument starts at the station's address
}

QByteArray Rs485Station::addressText(int address)
{
    return QByteArray::number(address, 16).toUpper().rightJustified(2, '0');
}

QList<QByteArray> Rs485Station::takeNotes()
{
    QList<QByteArray> notes;
    notes.swap(m_notes);
    return notes;
}

QList<LinkAction> Rs485Station::receive(QByteArrayView chunk, qint32 baud)
{
    QList<LinkAction> actions;
    if (baud != LineBaud && baud != SelectBaud) {
        // Garbage to a receiver at 19200 baud; it also breaks any frame in progress.
        if (m_state != State::Plain)
            m_state = State::LineStart;
        note("dropped " + QByteArray::number(chunk.size()) + " byte(s) at "
             + QByteArray::number(baud) + " baud");
        return actions;
    }
    qsizetype dropped = 0;
    for (char c : chunk) {
        if (baud == LineBaud) {
            take(c, true, actions);
        } else if (m_state == State::Selection) {
            take(c, false, actions);
        } else if (c == DC3) {
            m_state = State::Selection;
            m_frame = QByteArray(1, c);
        } else {
            ++dropped; // only a selection frame is taken at 9600 baud
        }
    }
    if (dropped > 0)
        note("dropped " + QByteArray::number(dropped) + " byte(s) at " + QByteArray::number(baud)
             + " baud");
    return actions;
}

void Rs485Station::take(char c, bool atLineSpeed, QList<LinkAction> &actions)
{
    switch (m_state) {
    case State::LineStart:
        if (c == '{' || c == '&' || c == '%') {
            m_state = State::Frame;
            m_frame = QByteArray(1, c);
        } else if (c == DC3) {
            m_state = State::Selection;
            m_frame = QByteArray(1, c);
        } else {
            plainByte(c, actions);
        }
        return;
    case State::Plain:
        plainByte(c, actions);
        return;
    case State::Selection:
        m_frame += c;
        if (c == SOH || m_frame.size() >= 4)
            endSelection(!atLineSpeed);
        return;
    case State::Frame:
        if (c == CR) {
            actions += endFrame();
            m_state = State::LineStart;
        } else if (m_frame.size() >= MaxFrameLength) {
            note("dropped an overlong frame");
            m_state = State::Skip;
        } else {
            m_frame += c;
        }
        return;
    case State::Skip:
        if (c == CR)
            m_state = State::LineStart;
        return;
    }
}

void Rs485Station::plainByte(char c, QList<LinkAction> &actions)
{
    m_state = c == LF ? State::LineStart : State::Plain;
    if (m_selected)
        actions += m_plain.receive(QByteArrayView(&c, 1));
}

void Rs485Station::endSelection(bool atSelectSpeed)
{
    m_state = State::LineStart;
    const int address = m_frame.size() == 4 && m_frame.endsWith(SOH) ? frameAddress(1) : -1;
    if (address < 0) {
        note("dropped a broken selection frame");
        return;
    }
    if (!atSelectSpeed) {
        note("ignored the selection of " + addressText(address) + " at "
             + QByteArray::number(LineBaud) + " baud");
        return;
    }
    m_selected = address == m_address;
    note((m_selected ? "selected as " : "deselected: the selection is for ") + addressText(address));
}

QList<LinkAction> Rs485Station::endFrame()
{
    const char kind = m_frame.at(0);
    const int address = frameAddress(1);
    if (address < 0) {
        note("dropped a frame without an address");
        return {};
    }
    if (address != m_address) {
        note("ignored a frame for " + addressText(address));
        return {};
    }
    const QByteArray body = m_frame.mid(3);
    switch (kind) {
    case '{':
        return m_framed.receive(body);
    case '&':
        if (body != "800" && body != "810") {
            note("dropped an attach frame with \"" + body + "\"");
            return {};
        }
        note(body == "810" ? "attached for programming" : "attached");
        return {{LinkAction::Kind::Send, '&' + addressText(m_address) + "OK" + CR, 0}};
    case '%': {
        const int next = frameAddress(3);
        if (next < 0 || m_frame.mid(5) != AccessCode) {
            note("dropped an address-change frame");
            return {};
        }
        m_address = next;
        note("address changed to " + addressText(m_address));
        return {{LinkAction::Kind::Send, '%' + addressText(m_address) + "OK" + CR, 0}};
    }
    }
    return {};
}

int Rs485Station::frameAddress(qsizetype at) const
{
    if (m_frame.size() < at + 2)
        return -1;
    const int high = HexDigit(m_frame.at(at));
    const int low = HexDigit(m_frame.at(at + 1));
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

} // namespace zopsim
