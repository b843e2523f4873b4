#include "panels/service/registerspanel.h"

#include "app/moddata.h"
#include "link/commlayer.h"
#include "panels/service/registerlamp.h"
#include "panels/service/servicewidgets.h"
#include "ui/transactionlog.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace zop {

namespace {

QLineEdit *ValueBox(int index, const QString &accessibleName, bool readOnly, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QStringLiteral("txtValue(%1)").arg(index));
    box->setAccessibleName(accessibleName);
    box->setProperty("dataBox", true);
    box->setReadOnly(readOnly);
    return box;
}

QLabel *Caption(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setBuddy(buddy);
    return label;
}

// The bit rows start below the read and write buttons.
constexpr int FirstBitLine = 2;

} // namespace

RegistersPanel::RegistersPanel(QWidget *parent) : PanelWindow(QStringLiteral("frmRegisters"), parent)
{
    rtbTranx->setObjectName(QStringLiteral("rtbTranx"));
    // A long command must not wrap into something that reads like a reply.
    rtbTranx->setLineWrapMode(QPlainTextEdit::NoWrap);
    buildPanel();
    Comm().LogTarget = rtbTranx;
    optFormat[int(EntryFormat::Decimal)]->setChecked(true);
    Switching = false;
    SendCommand(OpenCommand, false);
}

RegistersPanel::~RegistersPanel() = default;

RegisterLamp *RegistersPanel::lamp(RegisterId id, int bit) const
{
    const Column &c = m_columns.at(int(id));
    return bit >= 0 && bit < c.lamps.size() ? c.lamps.at(bit) : nullptr;
}

QPushButton *RegistersPanel::readButton(RegisterId id) const { return m_columns.at(int(id)).read; }

QPushButton *RegistersPanel::writeButton(RegisterId id) const
{
    return m_columns.at(int(id)).write;
}

EntryFormat RegistersPanel::selectedFormat() const
{
    if (optFormat[int(EntryFormat::Hex)]->isChecked())
        return EntryFormat::Hex;
    if (optFormat[int(EntryFormat::Binary)]->isChecked())
        return EntryFormat::Binary;
    return EntryFormat::Decimal;
}

// ---------------------------------------------------------------------------------------------
// Building the window.

void RegistersPanel::buildPanel()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("registerArea"));
    central->setStyleSheet(ServicePanelStyle());
    auto *layout = new QHBoxLayout(central);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(10);

    fraCmds = buildRegisterFrame();
    layout->addWidget(fraCmds, 0, Qt::AlignTop);

    auto *side = new QVBoxLayout;
    side->setSpacing(10);
    auto *forms = new QHBoxLayout;
    forms->setSpacing(10);
    forms->addWidget(buildResultsFrame(), 1);
    forms->addWidget(buildEntryFrame(), 1);
    side->addLayout(forms);
    fraIn->setMinimumWidth(360);
    side->addWidget(fraIn, 1);
    layout->addLayout(side, 1);
    setCentralWidget(central);
    fixTabOrder();
}

QGroupBox *RegistersPanel::buildRegisterFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Register Commands:"));
    frame->setObjectName(QStringLiteral("fraCmds"));
    auto *grid = new QGridLayout(frame);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);

    grid->addWidget(ColumnHead(QStringLiteral("Bit"), frame), FirstBitLine - 1, 0,
                    Qt::AlignHCenter | Qt::AlignBottom);
    for (int bit = 0; bit < 16; ++bit) {
        auto *number = new QLabel(QString::number(bit), frame);
        number->setTextFormat(Qt::PlainText);
        number->setProperty("legend", true);
        grid->addWidget(number, FirstBitLine + bit, 0, Qt::AlignCenter);
    }

    int column = 1;
    for (RegisterId id : AllRegisters) {
        const RegisterInfo &info = RegisterInfoFor(id);
        Column c;
        c.info = &info;
        c.read = ServiceButton(info.readButton, info.readCaption, info.readCaption, frame);
        c.read->setToolTip(QStringLiteral("Read the %1 register").arg(info.title.toLower()));
        grid->addWidget(c.read, 0, column);
        connect(c.read, &QPushButton::clicked, this, [this, id] { readRegister(id); });
        if (!info.writeButton.isEmpty()) {
            c.write = ServiceButton(info.writeButton, info.writeCaption, info.writeCaption, frame);
            c.write->setToolTip(QStringLiteral("Write the value entered to the %1 register")
                                    .arg(info.title.toLower()));
            grid->addWidget(c.write, 1, column);
            connect(c.write, &QPushButton::clicked, this, [this, id] { writeRegister(id); });
        }
        for (int bit = 0; bit < info.bitCount(); ++bit) {
            auto *lamp = new RegisterLamp(info.bitNames.at(bit), bit, info.title, frame);
            lamp->setObjectName(QStringLiteral("%1(%2)").arg(info.lampArray).arg(bit));
            grid->addWidget(lamp, FirstBitLine + bit, column);
            c.lamps << lamp;
        }
        m_columns << c;
        ++column;
    }
    grid->setRowStretch(FirstBitLine + 16, 1);
    return frame;
}

QGroupBox *RegistersPanel::buildResultsFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Results:"));
    frame->setObjectName(QStringLiteral("fraResults"));
    auto *form = new QFormLayout(frame);
    form->setLabelAlignment(Qt::AlignRight);
    const QString captions[] = {QStringLiteral("Decimal:"), QStringLiteral("Hex:"),
                                QStringLiteral("Binary:")};
    const QString names[] = {QStringLiteral("Decimal result"), QStringLiteral("Hex result"),
                             QStringLiteral("Binary result")};
    for (int i = 1; i <= 3; ++i) {
        txtValue[i] = ValueBox(i, names[i - 1], true, frame);
        txtValue[i]->setMinimumWidth(170);
        form->addRow(Caption(captions[i - 1], txtValue[i], frame), txtValue[i]);
    }
    return frame;
}

QGroupBox *RegistersPanel::buildEntryFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Enter Value in Selected Format:"));
    frame->setObjectName(QStringLiteral("fraEntry"));
    auto *layout = new QVBoxLayout(frame);
    auto *form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight);
    txtValue[0] = ValueBox(0, QStringLiteral("Value"), false, frame);
    // A line break would split the command on the wire.
    txtValue[0]->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[^\\r\\n]*")), txtValue[0]));
    form->addRow(Caption(QStringLiteral("Value:"), txtValue[0], frame), txtValue[0]);
    layout->addLayout(form);

    auto *options = new QHBoxLayout;
    auto *group = new QButtonGroup(frame);
    const QString captions[] = {QStringLiteral("Decimal Format"), QStringLiteral("Hex Format"),
                                QStringLiteral("Binary Format")};
    for (int i = 0; i < 3; ++i) {
        optFormat[i] = new QRadioButton(captions[i], frame);
        optFormat[i]->setObjectName(QStringLiteral("optFormat(%1)").arg(i));
        optFormat[i]->setAccessibleName(captions[i]);
        group->addButton(optFormat[i], i);
        options->addWidget(optFormat[i]);
    }
    options->addStretch(1);
    layout->addLayout(options);
    layout->addStretch(1);
    return frame;
}

void RegistersPanel::fixTabOrder()
{
    QList<QWidget *> order;
    for (const Column &c : m_columns) {
        order << c.read;
        if (c.write)
            order << c.write;
    }
    order << txtValue[1] << txtValue[2] << txtValue[3] << txtValue[0] << optFormat[0]
          << rtbTranx << clearLogButton << cmdSave;
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

// ---------------------------------------------------------------------------------------------
// Reading and writing.

QString RegistersPanel::queryFor(const RegisterInfo &info) const
{
    const ModData &data = modData();
    const QStringList &table = info.readsScpi ? data.SCPICommand : data.IEEECommand;
    return table.value(info.tableIndex) + QLatin1Char('?');
}

void RegistersPanel::readRegister(RegisterId id)
{
    QString reply;
    QPointer<RegistersPanel> self(this);
    if (!AskInstrument(this, {fraCmds}, queryFor(RegisterInfoFor(id)), reply) || !self)
        return;
    showRegister(id, RegisterValue(reply));
}

void RegistersPanel::showRegister(RegisterId id, qint32 value)
{
    const Column &c = m_columns.at(int(id));
    for (RegisterLamp *lamp : c.lamps) {
        if (BitIsSet(value, lamp->tag()))
            lamp->setLit(c.info->setColour);
        else
            lamp->setDark();
    }
    const RegisterResults results = FormatRegisterResults(value, c.info->wide);
    txtValue[1]->setText(results.decimal);
    txtValue[2]->setText(results.hex);
    txtValue[3]->setText(results.binary);
}

void RegistersPanel::writeRegister(RegisterId id)
{
    const RegisterInfo &info = RegisterInfoFor(id);
    if (info.writeButton.isEmpty())
        return;
    SendCommand(modData().IEEECommand.value(info.tableIndex) + QLatin1Char(' ')
                    + EnableValueText(txtValue[0]->text(), selectedFormat()),
                true);
}

void RegistersPanel::cmdGetReg_Click(int j)
{
    if (j == 0)
        readRegister(RegisterId::Oper);
    else if (j == 1)
        readRegister(RegisterId::Ques);
}

void RegistersPanel::cmdGetIEEE_Click(int i)
{
    switch (i) {
    case 0: readRegister(RegisterId::Ese); break;
    case 1: readRegister(RegisterId::Sre); break;
    case 6: readRegister(RegisterId::Esr); break;
    case 7: readRegister(RegisterId::Stb); break;
    default: break;
    }
}

void RegistersPanel::cmdSetIEEE_Click(int i)
{
    if (i == 0)
        writeRegister(RegisterId::Ese);
    else if (i == 1)
        writeRegister(RegisterId::Sre);
}

} // namespace zop
