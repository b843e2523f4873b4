#pragma once
// The status line of every panel: which link is in use and whether it is live, or, in
// Simulated mode, "Simulated: no instrument" on a clearly coloured ground with the reason of
// the fall-back that caused it. It follows the link by itself (the link kind changes from many
// places: fall-backs, "Simulate Inst", the setup dialogs), looking a few times a second and
// changing only when the text or state changes; a screen reader hears each change as a change
// of the line's accessible name.

#include "link/linkstatus.h"

#include <QLabel>
#include <QTimer>

namespace zop {

class LinkStatusLine : public QLabel {
    Q_OBJECT
public:
    // How often the line looks at the link.
    static constexpr int RefreshMs = 250;

    explicit LinkStatusLine(QWidget *parent = nullptr);

    LinkState state() const { return m_shown.state; }

public slots:
    // Looks at the link now.
    void refresh();

private:
    void display(const LinkStatus &status);

    QTimer m_timer;
    LinkStatus m_shown;
    bool m_first = true;
};

} // namespace zop
