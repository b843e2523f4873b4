#pragma once
// A minimal panel on the shared frame: its central area holds only the log frame. It records
// the frame's calls into its hooks so tests can check their order.

#include "frame/panelwindow.h"
#include "recordingchooser.h"

#include <QGroupBox>
#include <QList>
#include <QStringList>

namespace zop::test {

class DemoPanel : public PanelWindow {
public:
    explicit DemoPanel(const QString &formName, QStringList *events = nullptr)
        : PanelWindow(formName), m_events(events)
    {
        setCentralWidget(fraIn);
        record(QStringLiteral("create:"));
    }

    bool logClose = false;

protected:
    void stopPanelTimers() override { record(QStringLiteral("stop:")); }
    bool logsCloseCommand() const override { return logClose; }
    void panelClosing() override { record(QStringLiteral("closing:")); }
    void afterSetup() override { record(QStringLiteral("afterSetup:")); }

private:
    void record(const QString &what)
    {
        if (m_events)
            m_events->append(what + formName());
    }
    QStringList *m_events;
};

} // namespace zop::test
