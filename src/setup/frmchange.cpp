#include "setup/frmchange.h"

#include "link/commlayer.h"
#include "link/linkkind.h"
#include "link/rs485.h"
#include "setup/devicequery.h"
#include "setup/frmcommsetup.h"
#include "ui/dialogparts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace zop {

namespace {
constexpr int GpibAddressMax = 30;
constexpr int Rs485AddressMax = 255;
} // namespace

frmChange::frmChange(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmChange"));
    LoadProgramIcon(this);
    auto *grid = new QGridLayout;
    SettingHeadings(grid, this);
    grid->addWidget(PlainLabel(QStringLiteral("Identification"), nullptr, this), 1, 0);
    lblIdentification = PlainLabel(QString(), "lblIdentification", this);
    grid->addWidget(lblIdentification, 1, 1, 1, 2);
    lblModVersionText = PlainLabel(QStringLiteral("Module Version"), "lblModVersionText", this);
    lblModVersion = PlainLabel(QString(), "lblModVersion", this);
    grid->addWidget(lblModVersionText, 2, 0);
    grid->addWidget(lblModVersion, 2, 1, 1, 2);
    lblAddressSetting = PlainLabel(QString(), "lblAddressSetting", this);
    lblAddress = PlainLabel(QString(), "lblAddress", this);
    cboAddress = new QComboBox(this);
    cboAddress->setObjectName(QStringLiteral("cboAddress"));
    cboAddress->setEditable(true);
    cboAddress->setInsertPolicy(QComboBox::NoInsert);
    cboAddress->setMaxVisibleItems(12);
    lblAddressSetting->setBuddy(cboAddress);
    grid->addWidget(lblAddressSetting, 3, 0);
    grid->addWidget(lblAddress, 3, 1);
    grid->addWidget(cboAddress, 3, 2);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(16);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(OkCancelRow(this, cmdOK, cmdCancel));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(cmdOK, &QPushButton::clicked, this, &frmChange::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmChange::cmdCancel_Click);
}

void frmChange::SetCommType(qint16 commType)
{
    CommType = commType;
    cboAddress->clear();
    const bool gpib = commType == LinkKind::Gpib;
    const bool rs485 = commType == LinkKind::Rs485Selected || commType == LinkKind::Rs485Framed;
    if (gpib || rs485) {
        setWindowTitle(gpib ? QStringLiteral("Change Device's GPIB Settings")
                            : QStringLiteral("Change Device's RS-485 Settings"));
        lblAddressSetting->setText(gpib ? QStringLiteral("GPIB Address")
                                        : QStringLiteral("RS-485 Address"));
        QStringList items;
        for (int i = 1; i <= (gpib ? GpibAddressMax : Rs485AddressMax); ++i)
            items << QString::number(i);
        cboAddress->addItems(items);
        lblModVersionText->setVisible(gpib);
        lblModVersion->setVisible(gpib);
        cboAddress->setEnabled(true);
    }
    lblIdentification->setText(QuerySetting(QStringLiteral("*IDN")));
    if (gpib)
        lblModVersion->setText(QuerySetting(QStringLiteral("GPIB:VERS")));
    else if (commType == LinkKind::Rs485Selected)
        lblModVersion->setText(QuerySetting(QStringLiteral("SER:VERS"))); // kept, not shown
}

void frmChange::SetCurrentAddress(const QString &address)
{
    int index = cboAddress->findText(address, Qt::MatchExactly);
    if (index < 0) {
        cboAddress->addItem(address);
        index = cboAddress->count() - 1;
    }
    cboAddress->setCurrentIndex(index);
    lblAddress->setText(address);
}

QString frmChange::Address() const { return cboAddress->currentText(); }

void frmChange::cmdOK_Click()
{
    const QString address = Address();
    switch (CommType) {
    case LinkKind::Gpib: SendCommand(QStringLiteral("GPIB:ADDR ") + address, true); break;
    case LinkKind::Rs485Selected:
        SendCommand(QStringLiteral("SYST:COMM:SER:ADDR ") + address, true);
        break;
    case LinkKind::Rs485Framed: Rs485ChangeAddress(address); break;
    default: break;
    }
    Accepted = true;
    hide();
    done(QDialog::Accepted);
}

void frmChange::cmdCancel_Click()
{
    Accepted = false;
    hide();
    done(QDialog::Rejected);
}

void frmChange::reject() { cmdCancel_Click(); }

std::optional<DeviceChoice> ChangeDeviceAddress(QWidget *parent, qint16 commType,
                                                const QString &address)
{
    QPointer<frmChange> dialog = new frmChange(parent);
    dialog->SetCommType(commType);
    if (dialog)
        dialog->SetCurrentAddress(address);
    std::optional<DeviceChoice> result;
    if (dialog)
        dialog->exec();
    if (dialog && dialog->Accepted)
        result = DeviceChoice{dialog->Address(), QString()};
    delete dialog.data();
    return result;
}

} // namespace zop
