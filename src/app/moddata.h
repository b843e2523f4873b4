#pragma once
// The program's global state, one instance for the whole run: the configuration, the link, the
// instrument records and the window in front. Windows read and write it directly. The side
// effects (message boxes, the clock, the debug file) sit behind small interfaces here so that
// tests can watch and drive them.

#include "app/clock.h"
#include "app/prompter.h"
#include "link/commlayer.h"
#include "link/debuglog.h"
#include "link/gpiblink.h"
#include "state/records.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

namespace zop {

// "Not found in its list": no start-up panel, no link kind, no system type.
constexpr qint16 NotInList = 99;

struct ModData {
    // Configuration (ZOP_Panel.ini in the program folder).
    QString ProgramFolder;
    QStringList FormList;
    QStringList CommList;
    QStringList SystList;
    qint16 StartupPanel = NotInList;
    qint16 CommKind = NotInList;
    qint16 SystemType = NotInList;
    QString CommAddress;
    qint32 CommPort = 0;
    // The serial device named by "Device" of "Communication" (empty: the port number picks
    // the device, link/serialports.h). Used by every serial link kind when set.
    QString CommDevice;
    QString GpibEos;
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

    // The link.
    CommLayer comm;
    // The GPIB module: its descriptors and status copies.
    Gpib gpib;

    // Side effects.
    std::shared_ptr<Prompter> prompter = std::make_shared<ConsolePrompter>();
    std::shared_ptr<Clock> clock = std::make_shared<SteadyClock>();
    DebugLog debugLog;
};

ModData &modData();
// Null once the program is shutting down (for destructors that may run late).
ModData *ModDataIfAlive();
// Replaces the global state with a fresh one (start of every test).
void ResetModData();
// Ends the global state at the end of the program, closing the link.
void ShutDownModData();

} // namespace zop
