#pragma once
// A virtual panel on a scripted TCP/IP link and a manual clock: a 15 V / 100 A instrument in
// standby whose "<>STA" reply each test can change, and whose "<>ALL" reports the setpoints
// last sent to it.

#include "frame/framehooks.h"
#include "frame/panelregistry.h"
#include "app/moddata.h"
#include "link/commlayer.h"
#include "panels/virtual/paneldisplay.h"
#include "panels/virtual/virtualpanel.h"
#include "testsupport.h"
#include "ui/knob.h"
#include "ui/lamp.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

namespace zop::test {

struct PanelFixture : Fixture {
    explicit PanelFixture(PanelId series = PanelId::TLB, bool open = true)
    {
        ModData &data = modData();
        data.Ratings = {15, 16.5f, 1.5f, 100, 110, 10};
        data.RatingsBackup = data.Ratings;
        data.VoltageFormat = "0.00";
        data.CurrentFormat = "0.0";
        data.Settings = {12, 5, 13.5f, 50, 1, 3};
        data.SettingsBackup = data.Settings;
        data.Pots = {100, 110, 120, 130, 140};
        data.PotsBackup = data.Pots;
        data.CommKind = LinkKind::TcpIp;
        OpenLink();
        staReply = "0,0,48,0,3\r\n";
        // The instrument's own view of the same setpoints, for the state refreshes.
        replies["<>SCL"] = "3A98,186A0\r\n";
        replies["SYST:VERS?"] = "ZOP-SIM Firmware 4.70 Hardware Revision 1.30\r\n";
        replies["SYST:ERR?"] = "0,\"No error\"\r\n";
        replies["<>POT"] = "5,6,7,8,9\r\n";
        line->responder = [this](const QByteArray &command) -> QList<ScriptedLine::Chunk> {
            if (command == "<>STA")
                return {{0, staReply}};
            if (replies.contains(command))
                return {{0, replies.value(command)}};
            // The instrument keeps the setpoints it is sent and reports them in "<>ALL".
            static const char *const setters[] = {"VOLT ", "CURR ", "VOLT:PROT ", "CURR:PROT ", "PER "};
            for (int i = 0; i < 5; ++i) {
                if (command.startsWith(setters[i]))
                    instrument[i] = qRound(command.mid(qstrlen(setters[i])).toDouble() * 1000);
            }
            if (command == "<>ALL") {
                QStringList fields;
                for (int value : instrument)
                    fields << QString::number(value, 16).toUpper();
                return {{0, (fields.join(',') + ",3,1194\r\n").toLatin1()}};
            }
            return {};
        };
        SetProgramEnder([this] { ++programEnded; });
        if (open)
            openPanel(series);
    }
    ~PanelFixture()
    {
        SetProgramEnder(nullptr);
        delete panel.data();
    }

    void openPanel(PanelId series)
    {
        panel = new VirtualPanel(series);
        panel->show();
        modData().CurrentPanel = panel.data();
        line->written.clear();
    }

    // What was sent since the last call, each command without its line feed.
    QStringList sent()
    {
        const QStringList commands = line->commands();
        line->written.clear();
        return commands;
    }
    // The commands sent since the last call, "<>STA" polls left out.
    QStringList sentWithoutPolls()
    {
        QStringList commands = sent();
        commands.removeAll("<>STA");
        return commands;
    }

    // Moves the clock on, letting the panel's hold timer see every 10 ms.
    void advance(qint64 ms)
    {
        for (qint64 t = 0; t < ms && panel; t += VirtualPanel::HoldTickMs) {
            clock->advance(VirtualPanel::HoldTickMs);
            panel->holdTick();
        }
    }
    // Runs the panel's timers as Qt does over `ms` of simulated time: an active timer fires
    // once its interval has passed since it started or last fired.
    void run(qint64 ms)
    {
        struct Timer {
            QTimer VirtualPanel::*timer;
            void (VirtualPanel::*tick)();
        };
        static const Timer timers[] = {{&VirtualPanel::tmrInfo, &VirtualPanel::tmrInfo_Timer},
                                       {&VirtualPanel::tmrMenu, &VirtualPanel::tmrMenu_Timer},
                                       {&VirtualPanel::tmrFlash, &VirtualPanel::tmrFlash_Timer},
                                       {&VirtualPanel::tmrHold, &VirtualPanel::holdTick}};
        const qint64 end = clock->elapsedMs() + ms;
        while (panel && clock->elapsedMs() < end) {
            clock->advance(1);
            for (int i = 0; i < 4 && panel; ++i) {
                QTimer &timer = (*panel).*timers[i].timer;
                if (!timer.isActive()) {
                    due[i] = -1;
                    continue;
                }
                if (due[i] < 0)
                    due[i] = clock->elapsedMs() - 1 + std::max(timer.interval(), 1);
                if (clock->elapsedMs() >= due[i]) {
                    ((*panel).*timers[i].tick)();
                    if (panel)
                        due[i] = clock->elapsedMs() + std::max(timer.interval(), 1);
                }
            }
        }
    }
    void poll() { panel->tmrInfo_Timer(); }
    void typeInto(const QString &text)
    {
        for (QChar c : text) {
            panel->txtInput->setText(panel->txtInput->text() + c);
            panel->txtInput_Change();
        }
    }
    Lamp *lamp(const char *array, int index) { return panel->lamp(QLatin1String(array), index); }
    // MENU, then ITEM `items` times.
    void openMenu(int items)
    {
        panel->cmdMenu_Click();
        for (int i = 0; i < items; ++i)
            panel->cmdItem_Click();
    }
    // The TLB's potentiometer calibration, entered with its code.
    void enterPotCalibration()
    {
        openMenu(6);
        typeInto(QStringLiteral("3846"));
        panel->cmdEnter_Click();
    }

    QByteArray staReply;
    int instrument[5] = {12000, 5000, 13500, 50000, 1000}; // mV, mA, mV, mA, ms
    qint64 due[4] = {-1, -1, -1, -1};
    QMap<QByteArray, QByteArray> replies;
    QPointer<VirtualPanel> panel;
    int programEnded = 0;
};

} // namespace zop::test
