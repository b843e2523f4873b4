#include "bootloader.h"

#include <QSaveFile>

#include <algorithm>

namespace zopsim {

namespace {
constexpr quint8 Start = 0x0F;
constexpr quint8 End = 0x04;
constexpr quint8 Escape = 0x05;

void Append(QByteArray &out, quint8 b)
{
    if (b == Start || b == End || b == Escape)
        out.append(char(Escape));
    out.append(char(b));
}

QByteArray Hex(qint64 value) { return "0x" + QByteArray::number(value, 16).toUpper(); }
} // namespace

BootLoader::BootLoader(bool active) : m_active(active), m_flash(FlashSize, '\0')
{
    std::fill_n(m_flash.data(), ProtectedBytes, char(0xFF));
}

QList<QByteArray> BootLoader::takeNotes()
{
    QList<QByteArray> notes;
    notes.swap(m_notes);
    return notes;
}

bool BootLoader::takes(QByteArrayView bytes)
{
    if (!m_active && m_enterOnSync && bytes.size() == 1 && quint8(bytes[0]) == Start) {
        m_active = true;
        m_state = State::Idle;
        note("boot: entered on synchronisation");
    }
    return m_active;
}

QByteArray BootLoader::receive(QByteArrayView bytes)
{
    QByteArray answer;
    for (qsizetype i = 0; i < bytes.size() && m_active; ++i) {
        const quint8 c = quint8(bytes[i]);
        switch (m_state) {
        case State::Idle:
            if (c == Start) {
                if (i + 1 == bytes.size())
                    answer.append(char(Start)); // synchronisation
                m_packet.clear();
                m_state = State::Start;
            }
            break;
        case State::Start:
        case State::Payload:
            if (c == Start) {
                // Synchronisation bytes that come faster than the line is read arrive
                // together: the last of them is answered as a lone one would be.
                if (m_state == State::Start && m_packet.isEmpty() && i + 1 == bytes.size())
                    answer.append(char(Start));
                m_packet.clear();
                m_state = State::Start;
            } else if (c == Escape) {
                m_state = State::Escape;
            } else if (c == End) {
                m_state = State::Idle;
                answer += handlePacket();
            } else {
                m_packet.append(char(c));
                m_state = State::Payload;
            }
            break;
        case State::Escape:
            m_packet.append(char(c));
            m_state = State::Payload;
            break;
        }
    }
    return answer;
}

QByteArray BootLoader::handlePacket()
{
    const QByteArray packet = m_packet;
    m_packet.clear();
    if (packet.size() < 2)
        return {};
    int sum = 0;
    for (const char c : packet)
        sum += quint8(c);
    if ((sum & 0xFF) != 0) {
        note("boot: bad checksum, packet ignored");
        return {};
    }
    const QByteArray payload = packet.chopped(1);
    const quint8 command = quint8(payload.at(0));
    if (!apply(payload))
        return {};
    if (!m_active)
        return {}; // restarted: no acknowledgement
    return acknowledgement(command);
}

bool BootLoader::apply(const QByteArray &p)
{
    const auto at = [&p](int i) { return int(quint8(p.at(i))); };
    switch (at(0)) {
    case 0x02: {
        if (p.size() != 5 || at(1) != 0xFF)
            break;
        const int address = at(2) | at(3) << 8 | at(4) << 16;
        if (address >= FlashSize)
            break;
        const int from = qMax(address, int(ProtectedBytes));
        const int to = (address / BlockSize + 1) * BlockSize;
        if (to > from)
            m_flash.replace(from, to - from, QByteArray(to - from, char(0xFF)));
        note("boot: erase " + Hex(from) + " to " + Hex(to - 1));
        return true;
    }
    case 0x01:
    case 0x03: {
        if (p.size() < 5)
            break;
        const int count = at(0) == 0x01 ? at(1) * 8 : at(1);
        const int address = at(2) | at(3) << 8 | at(4) << 16;
        if (p.size() != 5 + count || address + count > FlashSize)
            break;
        for (int i = 0; i < count; ++i)
            m_flash[address + i] = char(quint8(m_flash.at(address + i)) & at(5 + i));
        note("boot: write " + QByteArray::number(count) + " bytes at " + Hex(address));
        return true;
    }
    case 0x04: {
        if (p.size() != 1)
            break;
        if (!m_dumpPath.isEmpty()) {
            QSaveFile file(m_dumpPath);
            if (file.open(QIODevice::WriteOnly) && file.write(m_flash) == m_flash.size()
                && file.commit())
                note("boot: flash written to " + m_dumpPath.toLocal8Bit());
            else
                note("boot: cannot write the flash to " + m_dumpPath.toLocal8Bit());
        }
        note("boot: restart");
        m_active = false;
        if (m_onRestart)
            m_onRestart();
        return true;
    }
    default:
        break;
    }
    note("boot: packet refused, command " + Hex(at(0)));
    return false;
}

QByteArray BootLoader::acknowledgement(quint8 command)
{
    ++m_acks;
    if (m_acks == m_faults.drop || (m_faults.muteFrom > 0 && m_acks >= m_faults.muteFrom)) {
        note("boot: acknowledgement " + QByteArray::number(m_acks) + " dropped");
        return {};
    }
    QByteArray ack(2, char(Start));
    Append(ack, command);
    Append(ack, quint8(-command));
    ack.append(char(End));
    if (m_acks == m_faults.corrupt) {
        note("boot: acknowledgement " + QByteArray::number(m_acks) + " cut short");
        return ack.right(2);
    }
    return ack;
}

} // namespace zopsim
