#pragma once
// The trend of a virtual panel: the voltage and current readings of the last minutes, with
// the setpoints as dashed lines, drawn from the panel's reading buffer. It draws only while it
// is shown and running; paused, the chart stands still while the buffer goes on filling, and
// it catches up when it runs again.

#include <QTimer>
#include <QWidget>

#include <vector>

class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QValueAxis;

namespace zop {

class TrendBuffer;
struct SeriesSpec;

class TrendView : public QWidget {
    Q_OBJECT
public:
    // The spans the chart can show, in minutes; the first shown is DefaultSpanMinutes.
    static constexpr int SpanMinutes[] = {1, 5, 15, 60};
    static constexpr int DefaultSpanMinutes = 5;

    // `spec` names the lamps in an export.
    TrendView(TrendBuffer &buffer, const SeriesSpec &spec, QWidget *parent = nullptr);

    // The rated maxima: the value axes start at 0 and reach a little beyond them.
    void setRatings(double voltMax, double currMax);
    // The chart takes new samples at most once a second: the readings come five times a
    // second, and redrawing a few thousand points for each was most of the panel's work.
    static constexpr int DrawIntervalMs = 1000;
    // A poll's reply fields (volts and amps in thousandths, status words A and B) and the
    // setpoints in force go into the buffer, time-stamped now.
    void addReading(const std::vector<qint32> &fields, float voltSet, float currSet);
    // The buffer has a new sample at its end; the chart shows it within DrawIntervalMs.
    void sampleAdded();
    // Redraws everything from the buffer.
    void rebuild();

    bool isPaused() const;
    int spanMinutes() const;
    // How many points the chart holds per line (what is drawn).
    int pointsShown() const;

    QPushButton *cmdPause = nullptr;
    QComboBox *cboSpan = nullptr;
    QPushButton *cmdExport = nullptr;
    QLabel *lblLatest = nullptr;
    QChartView *chtTrend = nullptr;

    // The controls in reading order, for the panel's tab order.
    QList<QWidget *> tabOrder() const;
    // A chart a third of a screen high: the panel grows by this much when the trend shows.
    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool drawing() const;
    void setPaused(bool paused);
    void fitAxes(double volts, double amps);
    void showLatest();
    // "Export CSV": the whole buffer to a file the user names.
    void exportCsv();
    // Appends the samples the chart does not show yet and drops those that left the span.
    void drawNewSamples();

    TrendBuffer &m_buffer;
    const SeriesSpec &m_spec;
    QChart *m_chart = nullptr;
    QLineSeries *m_volts = nullptr;
    QLineSeries *m_amps = nullptr;
    QLineSeries *m_voltSet = nullptr;
    QLineSeries *m_currSet = nullptr;
    QDateTimeAxis *m_time = nullptr;
    QValueAxis *m_voltAxis = nullptr;
    QValueAxis *m_ampAxis = nullptr;
    double m_voltTop = 1;
    double m_ampTop = 1;
    QTimer m_drawTimer;
};

} // namespace zop
