#include "panels/virtual/trendview.h"

#include "app/moddata.h"
#include "core/apptitle.h"
#include "core/textfile.h"
#include "engine/trendbuffer.h"
#include "ui/selectfile.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPen>
#include <QPointer>
#include <QPushButton>
#include <QTimeZone>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace zop {

namespace {
constexpr qint64 MsPerMinute = 60 * 1000;

// The chart's points of the buffer's samples from `first` on, one list a line, and the
// highest value of each axis among them.
struct TrendPoints {
    QList<QPointF> volts, voltSet, amps, currSet;
    double voltTop = 0, ampTop = 0;
};
TrendPoints PointsFrom(const TrendBuffer &buffer, int first)
{
    TrendPoints p;
    for (QList<QPointF> *list : {&p.volts, &p.voltSet, &p.amps, &p.currSet})
        list->reserve(std::max(0, buffer.size() - first));
    for (int i = first; i < buffer.size(); ++i) {
        const TrendSample &s = buffer.at(i);
        const double t = double(s.timeMs);
        p.volts << QPointF(t, s.volts);
        p.voltSet << QPointF(t, s.voltSet);
        p.amps << QPointF(t, s.amps);
        p.currSet << QPointF(t, s.currSet);
        p.voltTop = std::max({p.voltTop, s.volts, double(s.voltSet)});
        p.ampTop = std::max({p.ampTop, s.amps, double(s.currSet)});
    }
    return p;
}
// Head room above the highest value drawn.
constexpr double AxisHeadRoom = 1.05;

// The axis from 0 to `top` or a little above, with round ticks and labels without trailing
// zeros.
void SetRoundRange(QValueAxis *axis, double top)
{
    const RoundTicks ticks = RoundAxisTicks(top);
    axis->setRange(0, ticks.top);
    axis->setTickCount(ticks.tickCount);
    axis->setLabelFormat(QStringLiteral("%g"));
}

QLineSeries *Line(QChart *chart, const QString &name, const QColor &colour, bool dashed)
{
    auto *series = new QLineSeries(chart);
    series->setName(name);
    QPen pen(colour, dashed ? 1.5 : 2.0);
    if (dashed)
        pen.setStyle(Qt::DashLine);
    series->setPen(pen);
    chart->addSeries(series);
    return series;
}
} // namespace

TrendView::TrendView(TrendBuffer &buffer, const SeriesSpec &spec, QWidget *parent)
    : QWidget(parent), m_buffer(buffer), m_spec(spec)
{
    setObjectName(QStringLiteral("fraTrend"));
    m_drawTimer.setSingleShot(true);
    m_drawTimer.setInterval(DrawIntervalMs);
    connect(&m_drawTimer, &QTimer::timeout, this, &TrendView::drawNewSamples);

    cmdPause = new QPushButton(QStringLiteral("Pause"), this);
    cmdPause->setObjectName(QStringLiteral("cmdPause"));
    cmdPause->setCheckable(true);
    cmdPause->setAutoDefault(false);
    cboSpan = new QComboBox(this);
    cboSpan->setObjectName(QStringLiteral("cboSpan"));
    cboSpan->setAccessibleName(QStringLiteral("Trend span"));
    for (int minutes : SpanMinutes)
        cboSpan->addItem(QStringLiteral("Last %1 min").arg(minutes), minutes);
    cboSpan->setCurrentIndex(cboSpan->findData(DefaultSpanMinutes));
    cmdExport = new QPushButton(QStringLiteral("Export CSV"), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdExport->setAutoDefault(false);
    lblLatest = new QLabel(this);
    lblLatest->setObjectName(QStringLiteral("lblLatest"));
    lblLatest->setTextFormat(Qt::PlainText);
    lblLatest->setProperty("caption", true); // the front panel's caption colour

    m_chart = new QChart;
    m_chart->setTheme(QChart::ChartThemeDark);
    m_chart->setBackgroundBrush(QColor(QStringLiteral("#1f2225")));
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_chart->legend()->setAlignment(Qt::AlignTop);
    m_chart->setAnimationOptions(QChart::NoAnimation);
    const QColor red(QStringLiteral("#ff4a3d"));
    const QColor amber(QStringLiteral("#ffb347"));
    m_volts = Line(m_chart, QStringLiteral("Voltage"), red, false);
    m_voltSet = Line(m_chart, QStringLiteral("Voltage set"), red.lighter(150), true);
    m_amps = Line(m_chart, QStringLiteral("Current"), amber, false);
    m_currSet = Line(m_chart, QStringLiteral("Current set"), amber.lighter(130), true);

    m_time = new QDateTimeAxis(m_chart);
    m_time->setFormat(QStringLiteral("hh:mm:ss"));
    m_time->setTickCount(6);
    m_voltAxis = new QValueAxis(m_chart);
    m_voltAxis->setTitleText(QStringLiteral("V"));
    m_voltAxis->setLabelsColor(red);
    m_ampAxis = new QValueAxis(m_chart);
    m_ampAxis->setTitleText(QStringLiteral("A"));
    m_ampAxis->setLabelsColor(amber);
    m_chart->addAxis(m_time, Qt::AlignBottom);
    m_chart->addAxis(m_voltAxis, Qt::AlignLeft);
    m_chart->addAxis(m_ampAxis, Qt::AlignRight);
    for (QLineSeries *s : {m_volts, m_voltSet}) {
        s->attachAxis(m_time);
        s->attachAxis(m_voltAxis);
    }
    for (QLineSeries *s : {m_amps, m_currSet}) {
        s->attachAxis(m_time);
        s->attachAxis(m_ampAxis);
    }

    chtTrend = new QChartView(m_chart, this);
    chtTrend->setObjectName(QStringLiteral("chtTrend"));
    chtTrend->setAccessibleName(QStringLiteral("Trend of voltage and current"));
    chtTrend->setRenderHint(QPainter::Antialiasing);
    chtTrend->setMinimumHeight(200);
    chtTrend->setFocusPolicy(Qt::NoFocus);

    auto *tools = new QHBoxLayout;
    tools->addWidget(cmdPause);
    tools->addWidget(cboSpan);
    tools->addWidget(lblLatest, 1);
    tools->addWidget(cmdExport);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(tools);
    layout->addWidget(chtTrend, 1);

    connect(cmdPause, &QPushButton::toggled, this, &TrendView::setPaused);
    connect(cboSpan, &QComboBox::currentIndexChanged, this, &TrendView::rebuild);
    connect(cmdExport, &QPushButton::clicked, this, &TrendView::exportCsv);
    setRatings(1, 1);
}

void TrendView::setRatings(double voltMax, double currMax)
{
    m_voltTop = voltMax > 0 ? voltMax : 1;
    m_ampTop = currMax > 0 ? currMax : 1;
    SetRoundRange(m_voltAxis, m_voltTop * AxisHeadRoom);
    SetRoundRange(m_ampAxis, m_ampTop * AxisHeadRoom);
}

QList<QWidget *> TrendView::tabOrder() const { return {cmdPause, cboSpan, cmdExport}; }

void TrendView::addReading(const std::vector<qint32> &fields, float voltSet, float currSet)
{
    TrendSample sample;
    sample.timeMs = QDateTime::currentMSecsSinceEpoch();
    sample.volts = fields[0] / 1000.0;
    sample.amps = fields[1] / 1000.0;
    sample.voltSet = voltSet;
    sample.currSet = currSet;
    sample.wordA = fields[2];
    sample.wordB = fields[3];
    m_buffer.add(sample);
    sampleAdded();
}

void TrendView::exportCsv()
{
    QPointer<TrendView> self(this);
    const ModData &data = modData();
    QString path = SelectFile(this, QStringLiteral("Export CSV"), data.ProgramFolder,
                              QStringLiteral("CSV Files"), QStringLiteral("*.csv"), QString());
    if (!self || path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    const QString problem
        = WriteWholeFile(path, TrendCsv(m_buffer, m_spec, data.VoltageFormat, data.CurrentFormat,
                                        QTimeZone::systemTimeZone()));
    if (!problem.isEmpty())
        data.prompter->Show(QStringLiteral("Unable to export the trend to ") + path
                                + QStringLiteral(":\r\n") + problem,
                            ApplicationTitle, MsgIcon::Critical, MsgButtons::Ok);
}

void TrendView::fitAxes(double volts, double amps)
{
    // A reading above the rating (or a setpoint) widens its axis; the axes never shrink
    // while drawing, so the lines do not jump.
    if (volts > m_voltTop) {
        m_voltTop = volts;
        SetRoundRange(m_voltAxis, m_voltTop * AxisHeadRoom);
    }
    if (amps > m_ampTop) {
        m_ampTop = amps;
        SetRoundRange(m_ampAxis, m_ampTop * AxisHeadRoom);
    }
}

QSize TrendView::sizeHint() const { return QSize(QWidget::sizeHint().width(), 280); }

bool TrendView::isPaused() const { return cmdPause->isChecked(); }
int TrendView::spanMinutes() const { return cboSpan->currentData().toInt(); }
int TrendView::pointsShown() const { return int(m_volts->count()); }
bool TrendView::drawing() const { return isVisible() && !isPaused(); }

void TrendView::setPaused(bool paused)
{
    cmdPause->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    if (!paused)
        rebuild();
}

void TrendView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    rebuild();
}

void TrendView::showLatest()
{
    if (m_buffer.isEmpty()) {
        lblLatest->setText(QStringLiteral("No readings yet"));
        return;
    }
    lblLatest->setText(QStringLiteral("%1 readings held").arg(m_buffer.size()));
}

void TrendView::rebuild()
{
    if (!drawing())
        return;
    TrendPoints p;
    qint64 end = QDateTime::currentMSecsSinceEpoch();
    if (!m_buffer.isEmpty()) {
        end = m_buffer.newest().timeMs;
        p = PointsFrom(m_buffer, m_buffer.firstSince(end - spanMinutes() * MsPerMinute));
        fitAxes(p.voltTop, p.ampTop);
    }
    m_volts->replace(p.volts);
    m_voltSet->replace(p.voltSet);
    m_amps->replace(p.amps);
    m_currSet->replace(p.currSet);
    m_time->setRange(QDateTime::fromMSecsSinceEpoch(end - spanMinutes() * MsPerMinute),
                     QDateTime::fromMSecsSinceEpoch(end));
    showLatest();
}

void TrendView::sampleAdded()
{
    if (drawing() && !m_drawTimer.isActive())
        m_drawTimer.start();
}

void TrendView::drawNewSamples()
{
    if (!drawing() || m_buffer.isEmpty())
        return;
    const TrendSample &s = m_buffer.newest();
    const qint64 start = s.timeMs - spanMinutes() * MsPerMinute;
    // The clock went back, or the chart fell behind: draw it anew.
    if (m_volts->count() > 0 && (m_volts->at(m_volts->count() - 1).x() > double(s.timeMs)
                                 || m_volts->at(0).x() < double(start) - MsPerMinute)) {
        rebuild();
        return;
    }
    const qint64 drawnUpTo = m_volts->count() > 0 ? qint64(m_volts->at(m_volts->count() - 1).x())
                                                  : start - 1;
    const TrendPoints p = PointsFrom(m_buffer, m_buffer.firstSince(drawnUpTo + 1));
    m_volts->append(p.volts);
    m_voltSet->append(p.voltSet);
    m_amps->append(p.amps);
    m_currSet->append(p.currSet);
    // Points that left the span on the left go.
    int old = 0;
    while (old < m_volts->count() && m_volts->at(old).x() < double(start))
        ++old;
    if (old > 0) {
        for (QLineSeries *series : {m_volts, m_voltSet, m_amps, m_currSet})
            series->removePoints(0, old);
    }
    fitAxes(p.voltTop, p.ampTop);
    m_time->setRange(QDateTime::fromMSecsSinceEpoch(start), QDateTime::fromMSecsSinceEpoch(s.timeMs));
    showLatest();
}

} // namespace zop
