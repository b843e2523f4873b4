#pragma once
// The "Virtual Control Panel": the instrument's front panel on screen. One class serves the
// four series (frmTLB, frmKM, frmTW, frmGZ), built from the series table. It builds the
// displays, lamps, keys and knobs and forwards every key, knob and typed character to the
// front-panel engine (FrontPanel), which decides and tells it what to show.

#include "frame/panelwindow.h"
#include "engine/frontpanel.h"

#include <QKeySequence>
#include <QMap>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace zop {

class KeyFrame;
class Knob;
class Lamp;
class PanelDisplay;
class SequenceControl;
class SequenceView;
class TripNotice;
class TrendView;

class VirtualPanel : public PanelWindow, private FrontPanelView {
    Q_OBJECT
public:
    // The keyboard's START and STOP keys.
    static inline const QKeySequence StartChord{Qt::CTRL | Qt::SHIFT | Qt::Key_S};
    static inline const QKeySequence StopChord{Qt::CTRL | Qt::SHIFT | Qt::Key_X};

    explicit VirtualPanel(PanelId series, QWidget *parent = nullptr);
    ~VirtualPanel() override;

    FrontPanel &engine() { return m_engine; }

    // Shows or hides the trend; the choice holds for the virtual panels opened later.
    void showTrend(bool shown);
    // The large readout: only the displays, as large as the screen allows, to read across a
    // bench; off puts the panel back as it was.
    void showLargeReadout(bool shown);
    // Shows or hides the Sequence view; the choice holds for the panels opened later.
    void showSequence(bool shown);
    SequenceControl &sequence() { return *m_sequence; }

protected:
    void stopPanelTimers() override { m_engine.stopTimers(); }
    bool logsCloseCommand() const override { return m_engine.debugMode(); }
    void panelClosing() override;
    // A system type of another series: that series' panel takes this one's place.
    void afterSetup() override;
    void stateRefreshed() override { m_engine.syncKnobs(); }

private:
    // FrontPanelView.
    void showDisplay(FrontDisplay display, const QString &text) override;
    void dimDisplays(bool dimmed) override;
    void showLamp(const QString &name, LampLight light) override;
    void showLegend(const QString &text) override;
    void showTyped(const QString &text) override;
    void lockTyped(bool locked) override;
    void setKnob(FrontKnob knob, float maximum, float value) override;
    float knobValue(FrontKnob knob) const override;
    void enableKnobs(bool enabled) override;
    void showKey(FrontKey key, bool shown) override;
    void enableKey(FrontKey key, bool enabled) override;
    void showHoldProgress(qint64 ms) override;
    std::optional<QString> enterValue(const QString &title, const QString &text,
                                      const QString &hint) override;
    bool closing() const override;
    void giveWay() override { closeReplaced(); }
    void pollRead(const std::vector<qint32> &fields) override;

    void buildPanel();
    QWidget *buildDisplays();
    QWidget *buildKeys();
    QWidget *buildLamps();
    QPushButton *addKey(FrontKey key, const QString &name, const QString &caption);
    Lamp *addLamp(const QString &array, int index, const QString &caption, int tag);
    // The trend, the large readout and the Sequence view with its trip notice, each with its
    // View entry.
    void buildViews();
    void fixTabOrder();
    void loadPictures();

    const SeriesSpec &m_spec;
    FrontPanel m_engine;
    PanelDisplay *txtVolt = nullptr;
    PanelDisplay *txtCurr = nullptr;
    PanelDisplay *txtMEM = nullptr;
    QLineEdit *txtInput = nullptr;
    QMap<FrontKnob, Knob *> m_knobs;     // knbVolt, knbCurr, knbOVP, knbOCP
    QMap<FrontKey, QPushButton *> m_keys; // cmdMenu, cmdItem, ...
    QMap<QString, Lamp *> m_lamps;        // lblStatus(6), ...
    QProgressBar *prgCalHold = nullptr;   // the calibration key's 10 s hold
    KeyFrame *fraButtons = nullptr;
    QLabel *lblLegend = nullptr;          // what a menu shows in the displays ("OVT", "POT 3")
    QLabel *pctLogo = nullptr;
    QLabel *pctName = nullptr;
    TrendView *fraTrend = nullptr;        // hidden until "Trend" in the View menu shows it
    QAction *mnuTrend = nullptr;
    QAction *mnuLargeReadout = nullptr;
    SequenceControl *m_sequence = nullptr;
    SequenceView *fraSequence = nullptr;  // hidden until "Sequence" in the View menu shows it
    QAction *mnuSequence = nullptr;
    TripNotice *fraNotice = nullptr;
    QList<QWidget *> m_besideReadout; // what the large readout hides
    QRect m_normalGeometry; // the window's place before the large readout (invalid: not in it)
};

} // namespace zop
