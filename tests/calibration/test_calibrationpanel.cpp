// The Calibration Panel on a scripted link: the order of its rows, what opening it sends, the
// texts its buttons send and which replies it reads, where a reply lands (the network hardware
// revision picked out of its reply), the three lock states with their colours, the rows each
// link shows and where the command frame ends, and the held step buttons on the test clock,
// also through a panel switch and a close.

#include "panels/calmod/calibrationpanel.h"
#include "servicefixture.h"
#include "ui/transactionlog.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

using namespace zop;
using namespace zop::test;

namespace {

constexpr int Password = CalIndex::Password;

struct CalFixture : ServiceFixture {
    explicit CalFixture(qint16 commKind = LinkKind::TcpIp) : ServiceFixture(commKind)
    {
        RegisterCalibrationPanel();
        panel = open<CalibrationPanel>();
    }
    void unlock(const QString &code)
    {
        panel->txtSCPI(Password)->setText(code);
        panel->cmdSetSCPI_Click(Password);
    }
    // Moves the clock on, letting the hold timer see every 10 ms.
    void advance(qint64 ms)
    {
        for (qint64 t = 0; t < ms; t += CalibrationPanel::HoldTickMs) {
            clock->advance(CalibrationPanel::HoldTickMs);
            if (panel)
                panel->holdTick();
        }
    }
    // Reads potentiometer `pot` (the instrument answers `value`), so the step buttons act on it.
    void readPot(int pot, const QByteArray &value)
    {
        replies["CALibrate:POT? " + QByteArray::number(pot + 1)] = value + "\r\n";
        panel->cmdGetPot_Click(pot);
    }
    QPointer<CalibrationPanel> panel;
};

QList<QWidget *> RowWidgets(CalibrationPanel *p, int index)
{
    QList<QWidget *> widgets{p->cmdSetSCPI(index), p->rowLabel(index)};
    if (p->cmdGetSCPI(index))
        widgets << p->cmdGetSCPI(index);
    if (p->txtSCPI(index))
        widgets << p->txtSCPI(index);
    return widgets;
}

// 1: open for typing, in the window colour; 0: locked, in the button face; -1: neither.
int LockLook(QLineEdit *box)
{
    const QPalette system = QApplication::palette();
    const QColor base = box->palette().color(QPalette::Base);
    if (box->isReadOnly())
        return base == system.color(QPalette::Button) ? 0 : -1;
    return base == system.color(QPalette::Base) ? 1 : -1;
}

} // namespace

class TestCalibrationPanel : public QObject {
    Q_OBJECT
private slots:
    void buttons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("data");     // typed into the row's data box first
        QTest::addColumn<QString>("password"); // in the Password box when the button is pressed
        QTest::addColumn<QString>("sent");
        QTest::addColumn<int>("readAfterMs");  // -1: no reply is read
        QTest::addColumn<QByteArray>("reply"); // the instrument's
        QTest::addColumn<QString>("shown");    // in the box of a Get; every other box is kept
        const QString all = ScaleAccessCode;
        const auto set = [&](const char *name, const char *button, const QString &data, const QString &sent) {
            QTest::newRow(name) << button << data << all << sent << -1 << QByteArray() << QString();
        };
        set("Password", "cmdSetSCPI(29)", "3846", "CALibrate:PASSword 3846");
        set("Volt Scale", "cmdSetSCPI(31)", "20", "CALibrate:SCALe:VOLTage 20");
        set("Curr Scale, as typed", "cmdSetSCPI(32)", " 5x", "CALibrate:SCALe:CURRent  5x");
        set("Input Scale", "cmdSetSCPI(42)", "10", "CALibrate:SCALe:INPut 10");
        set("Default Pots", "cmdSetSCPI(33)", "", "CALibrate:DEFaults");
        set("End Cal", "cmdSetSCPI(34)", "", "CALibrate:STOP");
        set("Cal String", "cmdSetSCPI(14)", "bench 7", "CALibrate:IDN bench 7");
        set("System Ver", "cmdSetSCPI(19)", "4.80", "SYSTem:Version 4.80");
        set("Set Pot 3", "cmdSetPot(2)", "128", "CALibrate:POT 3,128");
        set("Set Pot 5, as typed", "cmdSetPot(4)", " 7x", "CALibrate:POT 5, 7x");
        // The network Sets read their reply after a pause.
        QTest::newRow("Serial Number, with the code") << "cmdSetSCPI(40)" << "ZS42" << all
                                                      << "SYSTem:NET:SERial ZS42 6043" << 100 << QByteArray("1\r\n") << QString();
        QTest::newRow("HW Version, with the code") << "cmdSetSCPI(41)" << "2.1" << all
                                                   << "SYSTem:NET:VERS 2.1 6043" << 100 << QByteArray("1\r\n") << QString();
        QTest::newRow("HW Version, code edited since") << "cmdSetSCPI(41)" << "2.1" << "6043 "
                                                       << "SYSTem:NET:VERS 2.1" << 100 << QByteArray("1\r\n") << QString();
        // Gets read at once, the network one too.
        const auto get = [&](const char *name, const char *button, const char *query, const QByteArray &reply,
                             const QString &shown) {
            QTest::newRow(name) << button << "" << all << query << 0 << reply << shown;
        };
        get("Get System Ver", "cmdGetSCPI(19)", "SYSTem:Version?", "4.80\r\n", "4.80");
        get("Get Volt Scale", "cmdGetSCPI(31)", "CALibrate:SCALe:VOLTage?", "15.000\r\n", "15.000");
        get("Get Cal String, every line break removed, markup as text", "cmdGetSCPI(14)", "CALibrate:IDN?",
            "<b>bench</b>\r7\r\n", "<b>bench</b>7");
        get("Get HW Version: the revision only", "cmdGetSCPI(41)", "SYSTem:NET:VERS?",
            "ZOP-SIM Ethernet Module Hardware Rev.  2.10 \r\n", "2.10");
        get("Get HW Version without the mark: unchanged", "cmdGetSCPI(41)", "SYSTem:NET:VERS?",
            "ZOP-SIM Ethernet Module 2.10\r\n", "old value");
        get("Get Pot 2", "cmdGetPot(1)", "CALibrate:POT? 2", "129\r\n", "129");
    }

    void buttons()
    {
        QFETCH(QString, button);
        QFETCH(QString, data);
        QFETCH(QString, password);
        QFETCH(QString, sent);
        QFETCH(int, readAfterMs);
        QFETCH(QByteArray, reply);
        QFETCH(QString, shown);
        CalFixture f;
        CalibrationPanel *p = f.panel;
        f.unlock(ScaleAccessCode);
        p->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(p));
        const QList<QLineEdit *> boxes = p->findChildren<QLineEdit *>();
        for (QLineEdit *b : boxes)
            b->setText("old value");
        p->txtSCPI(Password)->setText(password);
        auto *typedInto = p->findChild<QLineEdit *>(QString(button).replace("cmdSet", "txt"));
        if (typedInto)
            typedInto->setText(data);
        f.replies[sent.toLatin1()] = reply;
        f.replyDelayMs = 150; // still on its way after the pause before a network reply
        const qint64 pressedAt = f.clock->elapsedMs();
        QList<qint64> waitedAt;
        QList<bool> enabledWhileWaiting;
        f.whileWaiting = [&] {
            waitedAt << f.clock->elapsedMs() - pressedAt;
            enabledWhileWaiting << p->fraCmds->isEnabled() << p->menuBar()->isEnabled();
        };
        f.sent();

        QPushButton *b = p->findChild<QPushButton *>(button);
        QVERIFY(b && b->isEnabled() && b->isVisibleTo(p));
        QTest::mouseClick(b, Qt::LeftButton);

        QCOMPARE(f.sent(), QStringList{sent});
        QVERIFY(p->rtbTranx->logText().contains(sent + "\n"));
        QCOMPARE(waitedAt.value(0, -1), qint64(readAfterMs));
        QVERIFY(!enabledWhileWaiting.contains(true));
        QVERIFY(p->fraCmds->isEnabled() && p->menuBar()->isEnabled());
        QVERIFY(f.prompter->shown.isEmpty());
        if (shown.isEmpty())
            return;
        QVERIFY(p->rtbTranx->logText().endsWith(sent + "\n" + QString::fromLatin1(reply)));
        const QString box = QString(button).replace("cmdGet", "txt");
        for (QLineEdit *b : boxes)
            QCOMPARE(b->text(), b->objectName() == box ? shown : b == p->txtSCPI(Password) ? password : QString("old value"));
        auto *target = p->findChild<QLineEdit *>(box);
        QCOMPARE(QApplication::focusWidget(), target);
        QCOMPARE(target->selectedText(), target->text());
        QCOMPARE(p->SelectedPot, qint16(box.startsWith("txtPot") ? 1 : -1));
    }

    void lockStatesAndFrameEnd_data()
    {
        QTest::addColumn<qint16>("commKind");
        QTest::addColumn<QStringList>("codes"); // typed and Set in turn, or "End Cal" or "Simulate"
        QTest::addColumn<bool>("pots");
        QTest::addColumn<bool>("scales");
        QTest::addColumn<int>("lastRow");
        const qint16 tcp = LinkKind::TcpIp;
        const qint16 rs232 = LinkKind::Rs232;
        QTest::newRow("opened") << tcp << QStringList{} << false << false << 14;
        QTest::newRow("pot code") << tcp << QStringList{"3846"} << true << false << 14;
        QTest::newRow("scale code on TCP/IP") << tcp << QStringList{"6043"} << true << true << 41;
        QTest::newRow("scale code on RS-232") << rs232 << QStringList{"6043"} << true << true << 19;
        QTest::newRow("another text locks") << tcp << QStringList{"6043", "1234"} << false << false << 14;
        QTest::newRow("only the exact code") << tcp << QStringList{" 3846"} << false << false << 14;
        QTest::newRow("scale code, then the pot code") << tcp << QStringList{"6043", "3846"} << true << false << 14;
        QTest::newRow("End Cal locks") << tcp << QStringList{"6043", "End Cal"} << false << false << 14;
        // The link kind changes under an open panel: the network rows follow it.
        QTest::newRow("scale code, then Simulate Inst") << tcp << QStringList{"6043", "Simulate"} << true << true << 19;
    }

    void lockStatesAndFrameEnd()
    {
        QFETCH(qint16, commKind);
        QFETCH(QStringList, codes);
        QFETCH(bool, pots);
        QFETCH(bool, scales);
        QFETCH(int, lastRow);
        CalFixture f(commKind);
        CalibrationPanel *p = f.panel;
        // Opening sends the instrument's own menu idle, unlogged; no potentiometer is chosen.
        QCOMPARE(f.sent(), QStringList{"<>CHG 0,-1,0"});
        QVERIFY(p->rtbTranx->logText().isEmpty());
        QCOMPARE(p->SelectedPot, qint16(-1));
        for (const QString &code : codes) {
            if (code == "End Cal")
                p->cmdSetSCPI_Click(CalIndex::EndCal);
            else if (code == "Simulate")
                p->mnuSimulate->trigger();
            else
                f.unlock(code);
        }
        QCOMPARE(p->lockState(), scales ? CalLock::All : pots ? CalLock::Pots : CalLock::Locked);
        for (int k = 0; k < 5; ++k) {
            QCOMPARE(p->cmdSetPot(k)->isEnabled(), pots);
            QCOMPARE(LockLook(p->txtPot(k)), int(pots));
            QVERIFY(p->cmdGetPot(k)->isEnabled());
        }
        QCOMPARE(p->cmdUp->isEnabled(), pots);
        QCOMPARE(p->cmdDn->isEnabled(), pots);
        for (int index : {31, 32, 42}) {
            QCOMPARE(p->cmdSetSCPI(index)->isEnabled(), scales);
            QCOMPARE(LockLook(p->txtSCPI(index)), int(scales));
            QVERIFY(p->cmdGetSCPI(index)->isEnabled());
        }
        // What acts in every state.
        for (QWidget *w : QList<QWidget *>{p->cmdSetSCPI(29), p->cmdSetSCPI(33), p->cmdSetSCPI(34),
                                           p->cmdSetSCPI(14), p->cmdGetSCPI(14)})
            QVERIFY(w->isEnabled());
        QVERIFY(LockLook(p->txtSCPI(29)) == 1 && LockLook(p->txtSCPI(14)) == 1);

        // The rows after the last one shown are hidden, whole.
        const QList<int> order{29, 31, 32, 42, 33, 34, 14, 19, 40, 41};
        const int lastShown = order.indexOf(lastRow);
        for (int i = 0; i < order.size(); ++i) {
            for (QWidget *w : RowWidgets(p, order.at(i)))
                QCOMPARE(w->isVisibleTo(p), i <= lastShown);
        }
        // The frame ends where the first hidden row would begin (the rows keep one pitch), or
        // 120 twips below the last network row when every row shows.
        QCoreApplication::processEvents(); // lets the layout place the rows
        for (int i = 1; i <= lastShown; ++i) // top to bottom in this order
            QVERIFY(p->cmdSetSCPI(order.at(i))->y() > p->cmdSetSCPI(order.at(i - 1))->y());
        const int top = p->cmdSetSCPI(29)->geometry().top();
        const int pitch = p->cmdSetSCPI(31)->geometry().top() - top;
        QVERIFY(pitch > 0);
        const int frameEnd = p->fraCmds->contentsRect().bottom() + 1;
        if (lastRow == 41)
            QCOMPARE(frameEnd, p->txtSCPI(41)->geometry().bottom() + 1
                                   + qRound(120.0 * p->fraCmds->logicalDpiY() / 1440));
        else
            QCOMPARE(frameEnd, top + (lastShown + 1) * pitch);
    }

    void stepButtons_data()
    {
        QTest::addColumn<QString>("start"); // in the box after the Get; empty: nothing read
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("presses"); // each held holdMs
        const QStringList at255(3, "CAL:POT 3,255");
        QTest::newRow("nothing read: the button does nothing") << "" << true << 300 << QStringList{} << "" << 1;
        QTest::newRow("254 up: 255, then 255 again") << "254" << true << 250 << at255 << "255" << 1;
        QTest::newRow("1 down: 0, then 0 again") << "1" << false << 250 << QStringList(3, "CAL:POT 3,0") << "0" << 1;
        QTest::newRow("one step a tenth of a second")
            << "100" << true << 450 << QStringList{"CAL:POT 3,101", "CAL:POT 3,102", "CAL:POT 3,103",
                                                   "CAL:POT 3,104", "CAL:POT 3,105"} << "105" << 1;
        QTest::newRow("a click is one step") << "100" << false << 0 << QStringList{"CAL:POT 3,99"} << "99" << 1;
        // A key's auto-repeat: presses 40 ms apart, steps still a tenth of a second apart.
        QTest::newRow("repeated presses") << "100" << false << 40 << QStringList{"CAL:POT 3,99", "CAL:POT 3,98"} << "98" << 3;
        QTest::newRow("typed text taken as a number, rounded")
            << "12.6 V" << true << 0 << QStringList{"CAL:POT 3,14"} << "14" << 1;
        QTest::newRow("typed above the range") << "300" << false << 0 << QStringList{"CAL:POT 3,255"} << "255" << 1;
    }

    void stepButtons()
    {
        QFETCH(QString, start);
        QFETCH(bool, up);
        QFETCH(int, holdMs);
        QFETCH(QStringList, sent);
        QFETCH(int, presses);
        CalFixture f;
        CalibrationPanel *p = f.panel;
        f.unlock(PotAccessCode);
        QPushButton *button = up ? p->cmdUp : p->cmdDn;
        if (!start.isEmpty()) {
            f.readPot(2, "128");
            p->txtPot(2)->setText(start);
        }
        f.sent();
        for (int press = 0; press < presses; ++press) {
            QTest::mousePress(button, Qt::LeftButton);
            QVERIFY(p->KeyHeld);
            f.advance(holdMs);
            QTest::mouseRelease(button, Qt::LeftButton);
        }
        QVERIFY(!p->KeyHeld);
        f.advance(500); // released: no further step
        QCOMPARE(f.sent(), sent);
        QTEST(p->txtPot(2)->text(), "shown");
        QVERIFY(!p->tmrHold.isActive());
    }

    void holdEndsWithThePanel_data()
    {
        // What happens mid-hold: a panel switch, a close, or a menu that takes the key's release.
        QTest::addColumn<QString>("event");
        QTest::newRow("panel switch") << "switch";
        QTest::newRow("close") << "close";
        QTest::newRow("a menu opens") << "menu";
    }

    void holdEndsWithThePanel()
    {
        QFETCH(QString, event);
        CalFixture f;
        CalibrationPanel *p = f.panel;
        f.unlock(PotAccessCode);
        f.readPot(0, "10");
        f.sent();
        QTest::mousePress(p->cmdUp, Qt::LeftButton);
        f.advance(150);
        QMenu menu;
        menu.addAction("Command");
        if (event == "switch")
            p->mnuCommand->trigger();
        else if (event == "close")
            p->close();
        else
            menu.popup(p->mapToGlobal(QPoint(10, 10)));
        f.advance(300); // the closed panel, not yet deleted, sees the clock move on
        QVERIFY(!p->KeyHeld && !p->tmrHold.isActive());
        QVERIFY(event != "menu" || !p->cmdUp->isDown());
        QStringList sent{"CAL:POT 1,11", "CAL:POT 1,12"};
        if (event != "menu")
            sent << "<>CLR 0";
        QCOMPARE(f.sent(), sent);
        QCOMPARE(f.programEnded, event == "close" ? 1 : 0);
        menu.close();
        if (event == "menu")
            return;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!f.panel);
        if (event == "switch")
            QVERIFY(qobject_cast<CommandPanel *>(modData().CurrentPanel.data()));
        delete modData().CurrentPanel.data();
    }
};

QTEST_MAIN(TestCalibrationPanel)
#include "test_calibrationpanel.moc"
