#include "loader/ui/frmloader.h"

#include "app/configuration.h"
#include "app/moddata.h"
#include "link/commlayer.h"
#include "core/apptitle.h"
#include "ui/look.h"
#include "ui/selectfile.h"
#include "ui/transactionlog.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace zop {

namespace {
const QColor Red(255, 0, 0);
const QColor Green(0, 192, 0);
const QColor Yellow(255, 255, 0);

QPushButton *Button(const QString &name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAccessibleName(caption);
    button->setAutoDefault(false);
    return button;
}

QLineEdit *Field(const QString &name, bool readOnly, QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setReadOnly(readOnly);
    return field;
}
} // namespace

FrmLoader::FrmLoader(QWidget *parent) : PanelWindow(PanelName(PanelId::Firmware), parent)
{
    // The link as configured, whatever a fall-back made of it since.
    LoadLinkSettings();
    m_run = new ProgrammingRun(this);
    buildPanel();
    connect(m_run, &ProgrammingRun::statusChanged, this, &FrmLoader::showStatus);
    connect(m_run, &ProgrammingRun::progressChanged, this, [this](int min, int max, int value) {
        pgbStatus->setRange(min, max);
        pgbStatus->setValue(qBound(min, value, max));
    });
    connect(m_run, &ProgrammingRun::addressChanged, txtAdr, &QLineEdit::setText);
    connect(m_run, &ProgrammingRun::activeChanged, cmdStart,
            [this](bool active) { cmdStart->setEnabled(!active); });
    connect(cmdSelect, &QPushButton::clicked, this, &FrmLoader::cmdSelect_Click);
    connect(cmdStart, &QPushButton::clicked, this, &FrmLoader::cmdStart_Click);
    connect(cmdStop, &QPushButton::clicked, this, &FrmLoader::cmdStop_Click);
    showStatus(LoaderStatus::Cleared);
}

FrmLoader::~FrmLoader() = default;

void FrmLoader::buildPanel()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("loaderArea"));
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(10, 8, 10, 10);

    auto *fraFile = new QGroupBox(QStringLiteral("Choose new firmware file:"), central);
    fraFile->setObjectName(QStringLiteral("fraFile"));
    auto *fileRow = new QHBoxLayout(fraFile);
    txtFirmware = Field(QStringLiteral("txtFirmware"), false, fraFile);
    txtFirmware->setAccessibleName(QStringLiteral("Firmware file"));
    cmdSelect = Button(QStringLiteral("cmdSelect"), QStringLiteral("Select"), fraFile);
    fileRow->addWidget(txtFirmware, 1);
    fileRow->addWidget(cmdSelect);

    auto *fraProgram = new QGroupBox(QStringLiteral("Programming:"), central);
    fraProgram->setObjectName(QStringLiteral("fraProgram"));
    auto *programRow = new QHBoxLayout(fraProgram);
    cmdStart = Button(QStringLiteral("cmdStart"), QStringLiteral("Start"), fraProgram);
    cmdStop = Button(QStringLiteral("cmdStop"), QStringLiteral("Stop"), fraProgram);
    lblAdr = new QLabel(QStringLiteral("Current Address:"), fraProgram);
    lblAdr->setObjectName(QStringLiteral("lblAdr"));
    txtAdr = Field(QStringLiteral("txtAdr"), true, fraProgram);
    txtAdr->setAccessibleName(QStringLiteral("Current Address"));
    txtAdr->setMaximumWidth(110);
    lblAdr->setBuddy(txtAdr);
    programRow->addWidget(cmdStart);
    programRow->addWidget(cmdStop);
    programRow->addStretch(1);
    programRow->addWidget(lblAdr);
    programRow->addWidget(txtAdr);

    auto *fraStatus = new QGroupBox(QStringLiteral("Status:"), central);
    fraStatus->setObjectName(QStringLiteral("fraStatus"));
    auto *statusRow = new QHBoxLayout(fraStatus);
    txtStatus = Field(QStringLiteral("txtStatus"), true, fraStatus);
    txtStatus->setAccessibleName(QStringLiteral("Status"));
    txtStatus->setAlignment(Qt::AlignCenter);
    txtStatus->setMaximumWidth(140);
    txtStatus->setFocusPolicy(Qt::NoFocus);
    pgbStatus = new QProgressBar(fraStatus);
    pgbStatus->setObjectName(QStringLiteral("pgbStatus"));
    pgbStatus->setRange(0, 100);
    pgbStatus->setValue(0);
    statusRow->addWidget(txtStatus);
    statusRow->addWidget(pgbStatus, 1);

    layout->addWidget(fraFile);
    layout->addWidget(fraProgram);
    layout->addWidget(fraStatus);
    fraIn->setMinimumHeight(160);
    layout->addWidget(fraIn, 1);
    setCentralWidget(central);
    resize(560, 460);
}

void FrmLoader::showStatus(LoaderStatus status)
{
    txtStatus->setText(LoaderStatusText(status));
    QColor shade = Look().field;
    QColor text = Look().fieldText;
    switch (status) {
    case LoaderStatus::TimedOut:
    case LoaderStatus::Error:
    case LoaderStatus::InvalidFile: shade = Red; break;
    case LoaderStatus::Finished: shade = Green; break;
    case LoaderStatus::FinishedWarning: shade = Yellow; break;
    default: break;
    }
    QPalette palette = txtStatus->palette();
    palette.setColor(QPalette::Base, shade);
    if (shade != Look().field)
        text = Qt::black; // the status colours are bright in both looks
    palette.setColor(QPalette::Text, text);
    txtStatus->setPalette(palette);
}

void FrmLoader::cmdSelect_Click()
{
    // The file name is kept as chosen: a HEX file is opened, and on a case-sensitive file
    // system its name lowered would name another file.
    FileRequest request;
    request.parent = this;
    request.title = ApplicationTitle + QStringLiteral(" - ") + SelectTitle;
    request.filter = FileDialogFilter(HexDescription, HexPattern);
    request.qtFilter = QtFileFilter(request.filter);
    request.open = true;
    QPointer<FrmLoader> self(this);
    const QString chosen = ChooseRemembered(request, HexPattern);
    if (!self || chosen.isEmpty())
        return;
    QCoreApplication::processEvents();
    if (self)
        txtFirmware->setText(chosen);
}

void FrmLoader::cmdStart_Click()
{
    if (m_run->isActive())
        return;
    const QString refusal = ProgrammingRun::Refusal(modData().CommKind);
    if (!refusal.isEmpty()) {
        QPointer<FrmLoader> self(this);
        modData().prompter->Show(refusal, ApplicationTitle, MsgIcon::None, MsgButtons::Ok);
        if (self)
            mnuSetup->trigger(); // the Configuration Setup dialog, as "Setup" opens it
        return;
    }
    // Configured RS-232 after a fall-back closed or lost the port: open it again first.
    const CommLayer &comm = modData().comm;
    if ((!comm.CommControl || !comm.CommControl->isOpen()) && !OpenLink())
        return;
    m_run->Start(txtFirmware->text());
}

void FrmLoader::cmdStop_Click() { m_run->Stop(); }

void FrmLoader::stopPanelTimers() { m_run->abandon(); }

} // namespace zop
