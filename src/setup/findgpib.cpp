#include "setup/findgpib.h"

#include "app/moddata.h"
#include "link/commlayer.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zop {

namespace {
enum Column { AddressColumn = 0, IdentificationColumn = 1 };
} // namespace

frmFindGPIB::frmFindGPIB(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFindGPIB"));
    setWindowTitle(QStringLiteral("Find Devices"));
    const QString iconPath = QDir(modData().ProgramFolder).filePath(QStringLiteral("icon.ico"));
    if (QFileInfo::exists(iconPath))
        setWindowIcon(QIcon(iconPath));

    lvDevices = new QTreeWidget(this);
    lvDevices->setObjectName(QStringLiteral("lvDevices"));
    lvDevices->setHeaderLabels({QStringLiteral("Address"), QStringLiteral("Identification")});
    lvDevices->setRootIsDecorated(false);
    lvDevices->setItemsExpandable(false);
    lvDevices->setSelectionMode(QAbstractItemView::SingleSelection);
    lvDevices->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvDevices->setAllColumnsShowFocus(true);
    lvDevices->header()->setStretchLastSection(false);
    lvDevices->header()->setSectionsClickable(true);
    lvDevices->setMinimumSize(420, 200);

    cmdRefresh = new QPushButton(QStringLiteral("Refresh"), this);
    cmdRefresh->setObjectName(QStringLiteral("cmdRefresh"));
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdRefresh);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lvDevices);
    layout->addLayout(buttons);

    connect(cmdRefresh, &QPushButton::clicked, this, &frmFindGPIB::SearchBus);
    connect(cmdOK, &QPushButton::clicked, this, &frmFindGPIB::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmFindGPIB::cmdCancel_Click);
    connect(lvDevices, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item) { lvDevices_DblClick(item); });
    connect(lvDevices, &QTreeWidget::itemSelectionChanged, this,
            &frmFindGPIB::lvDevices_SelectionChanged);
    connect(lvDevices->header(), &QHeaderView::sectionClicked, this,
            &frmFindGPIB::lvDevices_ColumnClick);

    setStartingWidths();
    SearchBus();
}

QString frmFindGPIB::FindDevice(QWidget *parent)
{
    QPointer<frmFindGPIB> dialog = new frmFindGPIB(parent);
    dialog->exec();
    if (!dialog)
        return QString();
    const QString address = dialog->Accepted ? dialog->Address : QString();
    delete dialog.data();
    return address;
}

void frmFindGPIB::setStartingWidths()
{
    const int quarter = qMax(1, lvDevices->viewport()->width() / ColumnShareDivisor);
    lvDevices->setColumnWidth(AddressColumn, quarter);
    lvDevices->setColumnWidth(IdentificationColumn, quarter);
}

void frmFindGPIB::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_widthsSet)
        return;
    // The list has its real width only now: a quarter of it for each column, and the
    // identification fitted to what the search found.
    m_widthsSet = true;
    setStartingWidths();
    if (lvDevices->topLevelItemCount() > 0)
        lvDevices->resizeColumnToContents(IdentificationColumn);
}

void frmFindGPIB::SearchBus()
{
    lvDevices->clear();
    lvDevices->repaint();
    cmdOK->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString unusable;
    const QList<GpibListing> found = SearchGpibBus(&unusable);
    QApplication::restoreOverrideCursor();
    // An empty list alone would read as "no instrument on the bus".
    if (!unusable.isEmpty())
        modData().prompter->ShowWithDetails(NoLibraryText, unusable, CommText::Title,
                                            MsgIcon::Exclamation, MsgButtons::Ok);
    for (const GpibListing &listing : found) {
        auto *item = new QTreeWidgetItem(lvDevices);
        item->setText(AddressColumn, QString::number(listing.address));
        item->setText(IdentificationColumn, listing.identification);
    }
    if (m_sortColumn >= 0)
        lvDevices->sortItems(m_sortColumn, m_sortOrder);
    if (lvDevices->topLevelItemCount() > 0)
        lvDevices->setCurrentItem(lvDevices->topLevelItem(0));
    lvDevices_SelectionChanged();
    lvDevices->resizeColumnToContents(IdentificationColumn);
}

void frmFindGPIB::lvDevices_SelectionChanged()
{
    cmdOK->setEnabled(!lvDevices->selectedItems().isEmpty());
}

void frmFindGPIB::cmdOK_Click()
{
    const QList<QTreeWidgetItem *> selected = lvDevices->selectedItems();
    if (selected.isEmpty())
        return;
    Address = selected.first()->text(AddressColumn);
    Accepted = true;
    hide();
    done(QDialog::Accepted);
}

void frmFindGPIB::cmdCancel_Click()
{
    Accepted = false;
    Address.clear();
    hide();
    done(QDialog::Rejected);
}

void frmFindGPIB::lvDevices_DblClick(QTreeWidgetItem *item)
{
    // Only a double-click on a row confirms it (one on empty space reaches no item).
    if (!item)
        return;
    lvDevices->setCurrentItem(item);
    cmdOK_Click();
}

void frmFindGPIB::lvDevices_ColumnClick(int column)
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

} // namespace zop
