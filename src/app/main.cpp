// zop-panel: the operator and service program for one programmable DC power supply.

#include "app/moddata.h"
#include "app/startform.h"
#include "link/linkkind.h"
#include "ui/messageprompter.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <cstdio>

using namespace zop;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZOP Panel"));
    QApplication::setApplicationVersion(QStringLiteral("1.25"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Zoptrel operator and service panel"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dirOption(
        QStringLiteral("dir"),
        QStringLiteral("Program folder holding ZOP_Panel.ini (default: the executable's folder)."),
        QStringLiteral("DIR"));
    const QCommandLineOption startupOnlyOption(
        QStringLiteral("startup-only"),
        QStringLiteral("Run the start-up sequence, print the instrument state and end."));
    parser.addOption(dirOption);
    parser.addOption(startupOnlyOption);
    parser.process(app);

    ModData &data = modData();
    data.ProgramFolder = QDir(parser.isSet(dirOption) ? parser.value(dirOption)
                                                      : QApplication::applicationDirPath())
                             .absolutePath();
    data.prompter = std::make_shared<MessagePrompter>();

    int result = 0;
    {
        StartForm frmComm;
        const PanelId wanted = StartupPanelFor(data.StartupPanel, data.SystemType);
        const PanelId shown = frmComm.Load([](PanelId) -> QObject * { return nullptr; });

        std::printf("link: %s\nrated: %g V, %g A\nsetpoints: %g V, %g A\nfirmware: %s\n"
                    "hardware: %s\n",
                    qPrintable(LinkLogName(data.CommKind).trimmed()), data.Ratings.VoltMax,
                    data.Ratings.CurrMax, data.Settings.VoltSet, data.Settings.CurrSet,
                    qPrintable(data.FirmwareVersion), qPrintable(data.HardwareVersion));
        if (shown == PanelId::None && !parser.isSet(startupOnlyOption))
            std::printf("panel: %s is not available in this build\n",
                        qPrintable(PanelName(wanted)));
        std::fflush(stdout);
        if (shown != PanelId::None && !parser.isSet(startupOnlyOption))
            result = app.exec();
    }
    ShutDownModData();
    return result;
}
