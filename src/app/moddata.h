#pragma once
// The program's global state, one instance for the whole run: the configuration, the link, the
// instrument records and the window in front. Windows read and write it directly. The link's
// settings belong to the link (`comm`) and the side effects (message boxes, the clock, the
// debug file) to the ground; the members of the same names here are the same objects.

#include "core/ground.h"
#include "link/commlayer.h"
#include "link/gpiblink.h"
#include "state/records.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

namespace zop {

// "Not found in its list": no start-up panel, no link kind, no system type.
constexpr qint16 NotInList = LinkKind::NotConfigured;

struct ModData {
    ModData() = default;
    // Its members name parts of the link and the ground: a copy would share them.
    ModData(const ModData &) = delete;
    ModData &operator=(const ModData &) = delete;

    // The link, with its settings and the GPIB module.
    CommLayer comm;

    // Configuration (ZOP_Panel.ini in the program folder).
    QString ProgramFolder;
    QStringList FormList;
    QStringList CommList;
    QStringList SystList;
    qint16 StartupPanel = NotInList;
    qint16 &CommKind = comm.CommKind;
    qint16 SystemType = NotInList;
    QString &CommAddress = comm.CommAddress;
    qint32 &CommPort = comm.CommPort;
    QString &CommDevice = comm.CommDevice;
    QString &GpibEos = comm.GpibEos;
    QStringList IEEECommand;
    QStringList SCPICommand;
    QPointer<QObject> CurrentPanel;
    // The last "SYST:ERR?" reply of a state refresh; read only to empty the error queue.
    QString LastErrorReply;

    // Instrument records, each with the saved copy panels keep the last accepted values in.
    SettingsRecord Settings;
    SettingsRecord SettingsBackup;
    RatingsRecord Ratings;
    RatingsRecord RatingsBackup;
    PotsRecord Pots{};
    PotsRecord PotsBackup{};
    QString FirmwareVersion;
    QString HardwareVersion;
    QString VoltageFormat;
    QString CurrentFormat;

    Gpib &gpib = comm.gpib;

    // Side effects.
    std::shared_ptr<Prompter> &prompter = ground().prompter;
    std::shared_ptr<Clock> &clock = ground().clock;
    DebugLog &debugLog = ground().debugLog;
};

ModData &modData();
// Null once the program is shutting down (for destructors that may run late).
ModData *ModDataIfAlive();
// Replaces the global state with a fresh one (start of every test).
void ResetModData();
// Ends the global state at the end of the program, closing the link.
void ShutDownModData();

} // namespace zop
