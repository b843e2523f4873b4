#pragma once

#include <QList>
#include <QString>

namespace zopsim {

struct InstrumentError
{
    int code = 0;
    QString text;
    bool operator==(const InstrumentError &) const = default;
};

// The instrument's SCPI error queue: first in, first out, bounded. When it is full the newest
// entry is replaced by -350 "Queue overflow", as SCPI instruments do.
class ErrorQueue
{
public:
    static constexpr int DefaultCapacity = 20;

    explicit ErrorQueue(int capacity = DefaultCapacity);

    void push(int code, const QString &text);
    // The oldest entry, removed; 0 "No error" when the queue is empty.
    InstrumentError pop();
    void clear() { m_entries.clear(); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    int size() const { return int(m_entries.size()); }
    int capacity() const { return m_capacity; }

    // The reply text of "SYST:ERR?": code, a comma, the message in double quotes.
    static QString format(const InstrumentError &error);

private:
    QList<InstrumentError> m_entries;
    int m_capacity;
};

// Error codes the emulator reports (standard SCPI numbers and texts).
namespace Err {
constexpr int NoError = 0;
constexpr int DataTypeError = -104;
constexpr int ParameterNotAllowed = -108;
constexpr int MissingParameter = -109;
constexpr int UndefinedHeader = -113;
constexpr int CommandProtected = -203;
constexpr int SettingsConflict = -221;
constexpr int DataOutOfRange = -222;
constexpr int TooMuchData = -223;
constexpr int QueueOverflow = -350;
} // namespace Err

} // namespace zopsim
