#pragma once
// The search of the GPIB bus behind the "Find Devices" dialog: every listener on board 0 with
// its primary address and its answer to "*IDN?".

#include <QByteArray>
#include <QList>
#include <QString>

namespace zop {

struct GpibListing {
    quint16 address = 0;
    QString identification;
    bool operator==(const GpibListing &) const = default;
};

namespace GpibSearch {
constexpr int Candidates = 30;  // primary addresses 0 to 29 are tried
constexpr int ResultLimit = 30; // FindLstn returns at most this many
constexpr quint16 FirstSecondary = 31; // results from here on carry a secondary address
} // namespace GpibSearch

// An "*IDN?" answer as the list shows it: carriage returns and line feeds become blanks, and
// blanks at both ends go.
QString CleanIdentification(const QByteArray &reply);

// Opens the configured device and clears it, asks the board for the listeners among addresses
// 0 to 29, then for each one found (in the order found, skipping secondary addresses) opens
// it, clears it, writes "*IDN?" and, when the write succeeded, reads the answer. `QuietMode` is
// set while probing and `CommAddress` is restored afterwards, and the configured device is
// opened again, so the link goes on with the instrument it had. A missing or unusable GPIB
// library finds nothing, and `unusable` (when given) takes why: the library asked for and the
// loader's reason.
QList<GpibListing> SearchGpibBus(QString *unusable = nullptr);

} // namespace zop
