#include "app/panelids.h"

namespace zop {

PanelId VirtualPanelFor(qint16 systemType)
{
    switch (systemType) {
    case 0:
    case 1: return PanelId::GZ;
    case 3: return PanelId::KM;
    case 4: return PanelId::TW;
    default: return PanelId::TLB;
    }
}

PanelId StartupPanelFor(qint16 startupPanel, qint16 systemType)
{
    switch (startupPanel) {
    case 1: return PanelId::Command;
    case 2: return PanelId::Registers;
    case 3: return PanelId::Calibration;
    case 4: return PanelId::Modulation;
    default: return VirtualPanelFor(systemType);
    }
}

bool ModulationPanelAvailable(qint16 systemType)
{
    return systemType >= 2 && systemType <= 4;
}

QString PanelName(PanelId id)
{
    switch (id) {
    case PanelId::GZ: return QStringLiteral("frmGZ");
    case PanelId::TLB: return QStringLiteral("frmTLB");
    case PanelId::KM: return QStringLiteral("frmKM");
    case PanelId::TW: return QStringLiteral("frmTW");
    case PanelId::Command: return QStringLiteral("frmCommand");
    case PanelId::Registers: return QStringLiteral("frmRegisters");
    case PanelId::Calibration: return QStringLiteral("frmCalibration");
    case PanelId::Modulation: return QStringLiteral("frmModulation");
    case PanelId::Firmware: return QStringLiteral("FrmLoader");
    case PanelId::None: break;
    }
    return QString();
}

} // namespace zop
