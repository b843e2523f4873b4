#pragma once

#include "session.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace zopsim {

class FaultPlan;
class Instrument;

// The instrument's serial interface, as a serial front end feeds it: plain RS-232 text and
// the frames of an addressed instrument on an RS-485 bus. The line runs at 19200 baud; bytes
// that arrive at any other speed are garbage to the instrument and are dropped, except the
// selection frame, which is only taken at 9600 baud.
//
// Frames (AA: the address as two hexadecimal digits, CR: carriage return):
//   DC3 AA SOH                 selection, at 9600 baud: the instrument answers plain text
//                              when AA is its address and keeps quiet when another
//                              instrument was selected (until it is selected again)
//   "{" AA text CR             command frame: the text (up to 32 characters of a command)
//                              is taken as received on the line when AA is the address;
//                              frames for other addresses are ignored
//   "&" AA "800" CR            attach ("810": attach for programming): answered with
//                              "&" AA "OK" CR
//   "%" AA NN "58316024" CR    address change: the instrument takes NN as its address and
//                              answers "%" NN "OK" CR
// A frame starts only where a plain line could start (after a line feed, or at the start).
// Replies are never framed. Before any selection the instrument answers plain text, so the
// same line serves RS-232.
class Rs485Station
{
public:
    static constexpr qint32 LineBaud = 19200;
    static constexpr qint32 SelectBaud = 9600;
    // Longest frame taken (a command frame is 36 characters); longer ones are dropped.
    static constexpr int MaxFrameLength = 64;
    static constexpr const char *AccessCode = "58316024";

    // faults may be null. Both must outlive the station. `address` (0 to 255) becomes the
    // instrument's serial address.
    Rs485Station(Instrument &instrument, FaultPlan *faults, int address);

    // Bytes received while the line ran at `baud`.
    QList<LinkAction> receive(QByteArrayView chunk, qint32 baud);

    int address() const { return m_address; }
    bool selected() const { return m_selected; }
    // What the station made of the frames since the last call, for the trace.
    QList<QByteArray> takeNotes();

    static QByteArray addressText(int address);

private:
    enum class State { LineStart, Plain, Frame, Selection, Skip };

    void take(char c, bool atLineSpeed, QList<LinkAction> &actions);
    void plainByte(char c, QList<LinkAction> &actions);
    void endSelection(bool atSelectSpeed);
    QList<LinkAction> endFrame();
    // The address of two hexadecimal digits at `at` of the frame; -1 when they are not.
    int frameAddress(qsizetype at) const;
    void note(const QByteArray &text) { m_notes.append(text); }

    Session m_plain;  // plain text, when selected
    Session m_framed; // the text of command frames for this address
    int &m_address; // the instrument's: "SYST:COMM:SER:ADDR" moves it too
    bool m_selected = true;
    State m_state = State::LineStart;
    QByteArray m_frame;
    QList<QByteArray> m_notes;
};

} // namespace zopsim
