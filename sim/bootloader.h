#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>

namespace zopsim {

// The instrument's boot loader on its serial line: a byte protocol instead of text lines.
//
// A lone 0x0F (the last byte of what arrived, after nothing but other 0x0F) is a
// synchronisation byte and is answered with 0x0F. A packet is 0x0F 0x0F, payload, checksum, 0x04; inside it 0x05 escapes the next byte
// and an unescaped 0x0F starts the packet again. The checksum makes the sum of payload and
// checksum 0 modulo 256; a packet that fails it is ignored. Good packets are acknowledged with
// 0x0F 0x0F, the command, its checksum, 0x04 (escaped like a packet):
//   0x02 0xFF a0 a1 a2       erase from address a (low byte first) to the end of its 4 KiB
//                            block; the first 0x200 bytes hold the boot loader and stay
//   0x01 n lo hi page data   write 8 x n bytes at page:hi:lo
//   0x03 n lo hi page data   write n bytes at page:hi:lo
//   0x04                     restart: the flash is written to the dump file, the boot loader
//                            leaves (no acknowledgement) and the new firmware answers
// The flash holds 128 KiB. Writing clears bits only (flash cells), so a block that was not
// erased shows in the image. It starts blank in the boot loader's area and with all bits clear
// (the old firmware) elsewhere.
class BootLoader
{
public:
    static constexpr int FlashSize = 128 * 1024;
    static constexpr int ProtectedBytes = 0x200;
    static constexpr int BlockSize = 4096;

    // Acknowledgements to spoil, counted from 1 over the whole session; 0 for none.
    struct Faults
    {
        int drop = 0;     // this acknowledgement is not sent
        int corrupt = 0;  // only its last two bytes are sent
        int muteFrom = 0; // from this acknowledgement on, none is sent
    };

    explicit BootLoader(bool active = true);

    bool active() const { return m_active; }
    // While not active, a lone synchronisation byte starts the boot loader (as the firmware
    // of an instrument that hands over to it on request would).
    void setEnterOnSync(bool enter) { m_enterOnSync = enter; }
    // True when `bytes` are for the boot loader: it is active, or they start it.
    bool takes(QByteArrayView bytes);
    void setFaults(const Faults &faults) { m_faults = faults; }
    // Where the restart writes the flash image; empty: nowhere.
    void setDumpPath(const QString &path) { m_dumpPath = path; }
    // Called when the boot loader has left for the new firmware.
    void setRestartHandler(std::function<void()> handler) { m_onRestart = std::move(handler); }

    // Bytes received; returns the bytes to answer.
    QByteArray receive(QByteArrayView bytes);

    const QByteArray &flash() const { return m_flash; }
    // What the boot loader did since the last call, for the trace.
    QList<QByteArray> takeNotes();

private:
    enum class State { Idle, Start, Payload, Escape };

    QByteArray handlePacket();
    bool apply(const QByteArray &payload);
    QByteArray acknowledgement(quint8 command);
    void note(const QByteArray &text) { m_notes.append(text); }

    bool m_active;
    bool m_enterOnSync = false;
    Faults m_faults;
    QString m_dumpPath;
    std::function<void()> m_onRestart;
    QByteArray m_flash;
    State m_state = State::Idle;
    QByteArray m_packet;
    int m_acks = 0;
    QList<QByteArray> m_notes;
};

} // namespace zopsim
