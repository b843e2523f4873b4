#pragma once
// The About box `frmAbout`: the program's title and version, the connected instrument's
// firmware and hardware versions, and a button that starts the system-information viewer.
// Callers set sTitle_Frm (their panel's name) and sTitle ("Zoptrel"), then show it modally.

#include <QDialog>
#include <QString>

class QFrame;
class QImage;
class QLabel;
class QPushButton;

namespace zop {

class AboutBox : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString sTitle READ sTitle WRITE set_sTitle)
    Q_PROPERTY(QString sTitle_Frm READ sTitle_Frm WRITE set_sTitle_Frm)
public:
    // Pictures narrower than this (in HIMETRIC units, 0.01 mm) are not shown.
    static constexpr double MinimumPictureHimetric = 100;

    explicit AboutBox(QWidget *parent = nullptr);

    QString sTitle() const { return m_sTitle; }
    void set_sTitle(const QString &title);
    QString sTitle_Frm() const { return m_sTitleFrm; }
    void set_sTitle_Frm(const QString &name) { m_sTitleFrm = name; }

    // "ZOP Version " + major + "." + minor of a version text.
    static QString VersionLine(const QString &versionText);

    QLabel *pctLogo = nullptr;
    QLabel *lblTitle = nullptr;
    QFrame *Line1[2] = {nullptr, nullptr};
    QLabel *lblVersion = nullptr;
    QLabel *lblFirmware = nullptr;
    QLabel *lblHardware = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;

private:
    void loadPictures();

    QString m_sTitle;
    QString m_sTitleFrm;
};

// The width of an image in HIMETRIC units (0.01 mm), from its own resolution (96 dpi when it
// names none). A null image is 0 wide.
double ImageWidthHimetric(const QImage &image);

} // namespace zop
