#pragma once
// The network search ("Find Devices"): sends the discovery request and lists every
// instrument that answers, one row per reply (an instrument answering twice is listed twice),
// for as long as the dialog is open. The user picks a row; its IP address and port become the
// result. Replies are untrusted: see setup/discoveryreply.h for what is kept of them.

#include <QDialog>
#include <QHostAddress>
#include <QString>
#include <optional>

class QPushButton;
class QTreeWidget;
class QUdpSocket;

namespace zop {

struct DeviceChoice;

class frmFindTCPIP : public QDialog {
    Q_OBJECT
public:
    static inline const QString BindFailedText = QStringLiteral("Unable to bind to UDP Port 30303");
    // Datagrams taken per turn of the event loop, so a flood cannot freeze the window.
    static constexpr int DatagramsPerTurn = 64;
    static constexpr int PendingCheckMs = 100;
    // Columns of lvDevices.
    enum Column { ColName, ColIPAddress, ColPort, ColMACAddress };

    explicit frmFindTCPIP(QWidget *parent = nullptr);
    ~frmFindTCPIP() override;

    // Binds UDP port 30303 on the discovery bind address (every IPv4 address unless the
    // configuration names one), never shared, and sends the first request. Shows "Unable to
    // bind to UDP Port 30303" and returns false when another program holds the port.
    bool OpenDiscovery();
    // Empties the list, disables OK and sends the request "D" to the discovery target.
    void SendDiscovery();

    bool Accepted = false;
    QString Address;
    qint32 Port = 0;

    QTreeWidget *lvDevices = nullptr;
    QPushButton *cmdRefresh = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

public slots:
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdRefresh_Click() { SendDiscovery(); }

protected:
    void reject() override; // Escape and the close box: Cancel
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void readDatagrams();
    void addRow(const QString &name, const QString &ip, const QString &port, const QString &mac);
    void sortBy(int column);
    void updateOK();
    void fitColumns();
    void takeSelection();

    QUdpSocket *m_socket = nullptr;
    bool m_pressOnRow = false;
    bool m_drainQueued = false;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

// "Find Device..." for TCP/IP: the dialog modally over `parent`; the chosen row's address and
// port, or nothing.
std::optional<DeviceChoice> FindTcpIpDevice(QWidget *parent);

} // namespace zop
