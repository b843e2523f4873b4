// zop-panel: the operator and service program for one programmable DC power supply.

#include "app/firstrun.h"
#include "frame/framehooks.h"
#include "frame/frmsetup.h"
#include "frame/panelregistry.h"
#include "frame/panelwindow.h"
#include "app/moddata.h"
#include "core/processsignals.h"
#include "app/programfolder.h"
#include "app/usersettings.h"
#include "engine/startform.h"
#include "panels/calmod/calibrationpanel.h"
#include "panels/calmod/modulationpanel.h"
#include "panels/service/registration.h"
#include "panels/virtual/registration.h"
#include "link/linkkind.h"
#include "loader/ui/registration.h"
#include "setup/devicesetup.h"
#include "setup/programversion.h"
#include "ui/look.h"
#include "ui/messageprompter.h"
#include "remote/remotecontrol.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <memory>

using namespace zop;

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QCoreApplication::setApplicationName(QStringLiteral("ZOP Panel"));
    QCoreApplication::setApplicationVersion(ProgramVersionText());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Zoptrel operator and service panel"));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption dirOption(
        QStringLiteral("dir"),
        QStringLiteral("Program folder holding ZOP_Panel.ini (default: the executable's folder; "
                       "~/.config/zop-panel when installed)."),
        QStringLiteral("DIR"));
    const QCommandLineOption startupOnlyOption(
        QStringLiteral("startup-only"),
        QStringLiteral("Run the start-up sequence, print the instrument state and end."));
    // For test harnesses and soak runs: see remote/remotecontrol.h.
    QCommandLineOption remoteOption(
        QStringLiteral("remote-control"),
        QStringLiteral("Answer remote-control commands on the local socket PATH."),
        QStringLiteral("PATH"));
    remoteOption.setFlags(QCommandLineOption::HiddenFromHelp);
    // For the recorded traffic sessions: time-outs crossed with "advance" instead of waited.
    QCommandLineOption steppedClockOption(
        QStringLiteral("stepped-clock"),
        QStringLiteral("Let the remote control's \"advance MS\" move the program's clock on."));
    steppedClockOption.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(dirOption);
    parser.addOption(startupOnlyOption);
    parser.addOption(remoteOption);
    parser.addOption(steppedClockOption);

    // Help, the version, a start-up-only run and a mistake in the arguments need no screen:
    // they run without one, so they work where no display exists.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const bool screenless = !parser.parse(arguments) || parser.isSet(helpOption)
        || parser.isSet(versionOption) || parser.isSet(startupOnlyOption)
        || parser.optionNames().contains(QStringLiteral("help-all"));
    const std::unique_ptr<QCoreApplication> app = screenless
        ? std::make_unique<QCoreApplication>(argc, argv)
        : std::make_unique<QApplication>(argc, argv);
    parser.process(*app);
    if (auto *gui = qobject_cast<QApplication *>(app.get()))
        ApplyDesktopLook(*gui);
    // A full disk or a file-size limit makes a write fail, and the program says so; SIGTERM ends
    // the program as "Exit" does, so the remote-control socket and the link are closed.
    IgnoreFileSizeSignal();
    QuitOnTerminationSignals(*app);

    ModData &data = modData();
    data.ProgramFolder = QDir(parser.isSet(dirOption) ? parser.value(dirOption)
                                                      : DefaultProgramFolder(
                                                            QCoreApplication::applicationDirPath()))
                             .absolutePath();
    // An installed panel on the per-user settings, made from the shipped ones since it last
    // asked about the link: a first start.
    const bool settingsMade = !parser.isSet(dirOption)
        && !InstalledDefaultsFolder(QCoreApplication::applicationDirPath()).isEmpty()
        && LinkSetupDue(UserProgramFolder());
    data.debugLog.setPath(DebugFilePath(QCoreApplication::applicationDirPath(), data.ProgramFolder));
    data.debugLog.setFallBackPath(QDir(UserProgramFolder()).filePath(DebugFileName));
    const bool startupOnly = parser.isSet(startupOnlyOption);
    // A start-up-only run may have no screen: its messages go to the console (the global
    // state's prompter) and never wait for a click.
    if (!startupOnly)
        data.prompter = std::make_shared<MessagePrompter>();

    // "Communication" > "Recent Links" offers the links that opened.
    data.comm.OnLinkOpened = RememberLinkInUse;

    RegisterVirtualPanels();
    RegisterServicePanels();
    RegisterCalibrationPanel();
    SetSetupDialog(RunConfigurationSetup);
    RegisterModulationPanel();
    RegisterFirmwarePanel();
    RegisterDeviceSetupDialogs();

    RemoteControl remote;
    if (parser.isSet(steppedClockOption) && parser.isSet(remoteOption))
        remote.useSteppedClock();
    if (parser.isSet(remoteOption) && !startupOnly && !remote.listen(parser.value(remoteOption))) {
        std::fprintf(stderr, "zop-panel: no remote control on %s: %s\n",
                     qPrintable(parser.value(remoteOption)), qPrintable(remote.errorString()));
        return 1;
    }

    int result = 0;
    {
        StartForm frmComm;
        const PanelId shown = frmComm.Load([startupOnly](PanelId id) -> QObject * {
            return startupOnly ? nullptr : OpenPanel(id);
        });
        const double startupMs = sinceStart.nsecsElapsed() / 1e6;
        // The configuration has been read by now.
        const PanelId wanted = StartupPanelFor(data.StartupPanel, data.SystemType);

        if (startupOnly) {
            std::printf("link: %s\nrated: %g V, %g A\nsetpoints: %g V, %g A\nfirmware: %s\n"
                        "hardware: %s\npanel: %s\nstart-up: %.1f ms\n",
                        qPrintable(LinkLogName(data.CommKind).trimmed()), data.Ratings.VoltMax,
                        data.Ratings.CurrMax, data.Settings.VoltSet, data.Settings.CurrSet,
                        qPrintable(data.FirmwareVersion), qPrintable(data.HardwareVersion),
                        qPrintable(PanelName(wanted)), startupMs);
            std::fflush(stdout);
        } else if (shown == PanelId::None) {
            // Without a window the program could not be ended by its user: say so and end.
            std::fprintf(stderr, "zop-panel: the %s window is not available in this build\n",
                         qPrintable(PanelName(wanted)));
            result = 1;
        } else {
            // Once the panel is up, a first start with the shipped Simulated link asks whether
            // to set up the link (Yes: "Setup" of the panel).
            if (ShouldOfferLinkSetup(
                    {settingsMade, frmComm.configuredLink, LinkSetupOffered(UserProgramFolder())}))
                QTimer::singleShot(0, app.get(), [] {
                    if (OfferLinkSetup(*modData().prompter, UserProgramFolder()))
                        if (auto *panel = qobject_cast<PanelWindow *>(modData().CurrentPanel))
                            panel->runSetup();
                });
            result = app->exec();
        }
    }
    ShutDownModData();
    return result;
}
