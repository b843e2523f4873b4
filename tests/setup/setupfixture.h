#pragma once
// A program folder with the shipped ZOP_Panel.ini (some keys changed, CR LF line ends), read
// into the global state; two serial ports that are not the machine's; every link on a
// scripted line, with each link the program opened noted as "kind address:port device".

#include "app/configuration.h"
#include "app/setupentries.h"
#include "link/commlayer.h"
#include "link/logsink.h"
#include "simprocess.h"
#include "testsupport.h"

#include <QFile>

namespace zop::test {

// The whole of a file, or "<missing>".
inline QByteArray FileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Sets Communication Setup (or a dialog like it) to a link and arranges its fields.
template <typename Dialog>
void Arrange(Dialog &d, qint16 kind, const QString &address, const QString &port,
             const QString &device = {})
{
    d.SetCommType(kind);
    d.SetAddress(address);
    d.SetPort(port);
    d.SetDevice(device);
    d.ArrangeFields();
}

struct SetupFixture : Fixture {
    explicit SetupFixture(const QList<ConfigKey> &keys = {})
    {
        WritePanelConfig(dir.path(), keys);
        // As a Windows machine writes it.
        QByteArray text = configText();
        text.replace("\r\n", "\n").replace("\n", "\r\n");
        writeFile(QStringLiteral("ZOP_Panel.ini"), text);
        ReadConfiguration();
        SetSetupPortLister([] { return QStringList{"/dev/ttyUSB0", "/dev/ttyS0"}; });
        ModData &data = modData();
        data.comm.LogTarget = &log;
        data.comm.setTransportFactory([this](qint16 kind) {
            const ModData &d = modData();
            links << QStringLiteral("%1 %2:%3 %4").arg(kind).arg(d.CommAddress).arg(d.CommPort).arg(d.CommDevice).trimmed();
            return std::make_unique<ScriptedTransport>(d.CommAddress == ProbeAddress ? probeLine : line);
        });
    }
    ~SetupFixture() { SetSetupPortLister(nullptr); }

    QByteArray configText() const { return FileText(path(QStringLiteral("ZOP_Panel.ini"))); }

    // Links to this address go to `probeLine`, every other link to `line`.
    static inline const QString ProbeAddress = QStringLiteral("zop-probe");
    std::shared_ptr<ScriptedLine> probeLine = std::make_shared<ScriptedLine>(clock);
    TextLog log;
    QStringList links;
};

} // namespace zop::test
