#pragma once
// The GPIB search dialog `frmFindGPIB` ("Find Devices"): lists every instrument listening on
// the GPIB bus of board 0 with its primary address and its answer to "*IDN?"; the user picks
// one. Loading the dialog runs the first search; "Refresh" searches again.
//
// The Communication Setup dialog uses it as
//     frmFindGPIB dialog(parent);
//     dialog.exec();
//     if (dialog.Accepted) address box = dialog.Address;
// or in one call: `const QString address = frmFindGPIB::FindDevice(parent)` (empty: nothing
// chosen).

#include "link/gpibsearch.h"

#include <QDialog>
#include <QList>
#include <QString>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace zop {

class frmFindGPIB : public QDialog {
    Q_OBJECT
public:
    // The share of the list's width each column starts with.
    static constexpr int ColumnShareDivisor = 4;
    // Shown, with the library and the loader's reason, when no GPIB library can be used.
    static inline const QString NoLibraryText =
        QStringLiteral("The GPIB bus cannot be searched: no GPIB library could be loaded.");

    explicit frmFindGPIB(QWidget *parent = nullptr);

    // Shows the dialog modally over `parent`; the address of the row the user confirmed, or
    // empty text after Cancel.
    static QString FindDevice(QWidget *parent);

    // The search; run when the dialog loads and by "Refresh".
    void SearchBus();

    // The result: Accepted after OK or a double-click on a row, with the row's "Address".
    bool Accepted = false;
    QString Address;

    QTreeWidget *lvDevices = nullptr;
    QPushButton *cmdRefresh = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void cmdOK_Click();
    void cmdCancel_Click();
    void lvDevices_DblClick(QTreeWidgetItem *item);
    void lvDevices_ColumnClick(int column);
    void lvDevices_SelectionChanged();
    void setStartingWidths();

    int m_sortColumn = -1; // no sort until a header is clicked
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    bool m_widthsSet = false;
};

} // namespace zop
