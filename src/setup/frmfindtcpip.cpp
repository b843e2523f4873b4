#include "setup/frmfindtcpip.h"

#include "app/moddata.h"
#include "link/linkaddress.h"
#include "setup/discoveryreply.h"
#include "setup/frmcommsetup.h"
#include "core/numbertext.h"
#include "core/apptitle.h"
#include "ui/dialogparts.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QNetworkDatagram>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUdpSocket>
#include <QVBoxLayout>
#include <limits>

namespace zop {

frmFindTCPIP::frmFindTCPIP(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFindTCPIP"));
    setWindowTitle(QStringLiteral("Find Devices"));
    LoadProgramIcon(this);

    lvDevices = new QTreeWidget(this);
    lvDevices->setObjectName(QStringLiteral("lvDevices"));
    lvDevices->setRootIsDecorated(false);
    lvDevices->setUniformRowHeights(true);
    lvDevices->setAllColumnsShowFocus(true);
    lvDevices->setSelectionMode(QAbstractItemView::SingleSelection);
    lvDevices->setColumnCount(4);
    lvDevices->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("IP Address"),
                                QStringLiteral("Port"), QStringLiteral("MAC Address")});
    lvDevices->header()->setStretchLastSection(false);
    lvDevices->header()->setSectionsClickable(true);
    lvDevices->header()->setSortIndicatorShown(false);
    lvDevices->setMinimumSize(520, 220);
    lvDevices->viewport()->installEventFilter(this);

    cmdRefresh = new QPushButton(QStringLiteral("Refresh"), this);
    cmdRefresh->setObjectName(QStringLiteral("cmdRefresh"));
    cmdRefresh->setAutoDefault(false);
    QHBoxLayout *buttons = OkCancelRow(this, cmdOK, cmdCancel);
    buttons->insertWidget(0, cmdRefresh);
    cmdOK->setEnabled(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lvDevices);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &frmFindTCPIP::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFindTCPIP::cmdCancel_Click);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmFindTCPIP::cmdRefresh_Click);
    connect(lvDevices, &QTreeWidget::itemSelectionChanged, this, &frmFindTCPIP::updateOK);
    connect(lvDevices->header(), &QHeaderView::sectionClicked, this, &frmFindTCPIP::sortBy);
}

frmFindTCPIP::~frmFindTCPIP() = default;

bool frmFindTCPIP::OpenDiscovery()
{
    delete m_socket;
    m_socket = new QUdpSocket(this);
    // Not shared (no SO_REUSEADDR): a port that another program, or another account, holds in
    // any way makes the bind fail, rather than letting it take the replies.
    const std::optional<QHostAddress> local = DiscoveryBindAddress();
    if (!local || !m_socket->bind(*local, Discovery::Port, QUdpSocket::DontShareAddress)) {
        delete m_socket;
        m_socket = nullptr;
        modData().prompter->Show(BindFailedText, ApplicationTitle, MsgIcon::None, MsgButtons::Ok);
        return false;
    }
    connect(m_socket, &QUdpSocket::readyRead, this, &frmFindTCPIP::readDatagrams);
    // Under a flood Qt can drop a read notification while datagrams are still queued (seen
    // with Qt 6.4): look again now and then, so the list never stalls.
    auto *watch = new QTimer(m_socket);
    connect(watch, &QTimer::timeout, this, [this] {
        if (m_socket && m_socket->hasPendingDatagrams() && !m_drainQueued)
            readDatagrams();
    });
    watch->start(PendingCheckMs);
    SendDiscovery();
    return true;
}

void frmFindTCPIP::SendDiscovery()
{
    cmdOK->setEnabled(false);
    lvDevices->clear();
    lvDevices->viewport()->update();
    if (!m_socket)
        return;
    if (const std::optional<QHostAddress> target = DiscoveryTarget())
        m_socket->writeDatagram(Discovery::Request, 1, *target, Discovery::Port);
}

void frmFindTCPIP::readDatagrams()
{
    m_drainQueued = false;
    if (!m_socket)
        return;
    bool added = false;
    for (int n = 0; n < DatagramsPerTurn && m_socket->hasPendingDatagrams(); ++n) {
        const qint64 size = m_socket->pendingDatagramSize();
        if (size > Discovery::MaxDatagramBytes || size < 0) {
            m_socket->readDatagram(nullptr, 0); // dropped unread
            continue;
        }
        const QNetworkDatagram datagram = m_socket->receiveDatagram(size);
        if (lvDevices->topLevelItemCount() >= Discovery::MaxRows)
            continue;
        if (const std::optional<DiscoveryReply> reply = ParseDiscoveryReply(datagram.data())) {
            addRow(reply->name, SenderAddressText(datagram.senderAddress()), reply->port,
                   reply->mac);
            added = true;
        }
    }
    if (added && m_sortColumn >= 0)
        lvDevices->sortItems(m_sortColumn, m_sortOrder);
    updateOK();
    // The rest on a later turn, after the window has had its events.
    if (m_socket->hasPendingDatagrams() && !m_drainQueued) {
        m_drainQueued = true;
        QTimer::singleShot(0, this, &frmFindTCPIP::readDatagrams);
    }
}

void frmFindTCPIP::addRow(const QString &name, const QString &ip, const QString &port,
                          const QString &mac)
{
    // QTreeWidget shows item text as plain text, never as rich text.
    auto *item = new QTreeWidgetItem(QStringList{name, ip, port, mac});
    lvDevices->addTopLevelItem(item);
}

void frmFindTCPIP::sortBy(int column)
{
    if (column == m_sortColumn)
        m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    else
        m_sortOrder = Qt::AscendingOrder;
    m_sortColumn = column;
    lvDevices->header()->setSortIndicatorShown(true);
    lvDevices->header()->setSortIndicator(column, m_sortOrder);
    lvDevices->sortItems(column, m_sortOrder);
}

void frmFindTCPIP::updateOK() { cmdOK->setEnabled(!lvDevices->selectedItems().isEmpty()); }

void frmFindTCPIP::fitColumns()
{
    const int quarter = lvDevices->viewport()->width() / 4;
    lvDevices->setColumnWidth(ColName, qMax(0, quarter - 6));
    for (int c : {ColIPAddress, ColPort, ColMACAddress})
        lvDevices->setColumnWidth(c, quarter);
}

bool frmFindTCPIP::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lvDevices->viewport()) {
        if (event->type() == QEvent::Resize) {
            fitColumns();
        } else if (event->type() == QEvent::MouseButtonPress) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            m_pressOnRow = lvDevices->itemAt(mouse->position().toPoint()) != nullptr;
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            m_pressOnRow = lvDevices->itemAt(mouse->position().toPoint()) != nullptr;
            if (m_pressOnRow && !lvDevices->selectedItems().isEmpty()) {
                takeSelection();
                Accepted = true;
                hide();
                done(QDialog::Accepted);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmFindTCPIP::takeSelection()
{
    const QList<QTreeWidgetItem *> selected = lvDevices->selectedItems();
    if (selected.isEmpty())
        return;
    Address = selected.first()->text(ColIPAddress);
    const QString port = selected.first()->text(ColPort);
    const double value = IsNumericText(port) ? RoundHalfEven(LeadingDecimal(port)) : 0;
    Port = value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max()
               ? qint32(value)
               : 0;
}

void frmFindTCPIP::cmdOK_Click()
{
    if (!lvDevices->selectedItems().isEmpty()) {
        takeSelection();
        Accepted = true;
    }
    hide();
    done(Accepted ? QDialog::Accepted : QDialog::Rejected);
}

void frmFindTCPIP::cmdCancel_Click()
{
    Accepted = false;
    Address.clear();
    Port = 0;
    hide();
    done(QDialog::Rejected);
}

void frmFindTCPIP::reject() { cmdCancel_Click(); }

std::optional<DeviceChoice> FindTcpIpDevice(QWidget *parent)
{
    QPointer<frmFindTCPIP> dialog = new frmFindTCPIP(parent);
    std::optional<DeviceChoice> result;
    if (dialog->OpenDiscovery()) {
        dialog->exec();
        if (dialog && dialog->Accepted)
            result = DeviceChoice{dialog->Address, QString::number(dialog->Port)};
    }
    delete dialog.data();
    return result;
}

} // namespace zop
