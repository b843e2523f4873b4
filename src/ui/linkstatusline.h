#pragma once
// The status line of every panel: which link is in use and whether it is live, or, in
// Simulated mode, "Simulated: no instrument" on a clearly coloured ground with the reason of
// the fall-back that caused it. It follows the link by itself (the link kind changes from many
// places: fall-backs, "Simulate Inst", the setup dialogs), looking a few times a second and
// changing only when the text or state changes; a screen reader hears each change as a change
// of the line's accessible name. A line too long for the window is cut after a whole word and
// ends in "…"; its tool tip and accessible name keep it whole.

#include "link/linkstatus.h"

#include <QLabel>
#include <QTimer>
#include <functional>

namespace zop {

// `text` as it fits into `width` by the measure `widthOf`: whole when it fits; else its
// longest beginning that ends with a whole word, followed by "…"; when not even the first
// word fits, as many of its characters as do, followed by "…".
QString ElideAtWord(const QString &text, int width,
                    const std::function<int(const QString &)> &widthOf);

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

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void display(const LinkStatus &status);
    // Shows the whole text, or as much of it as the line's width takes.
    void fitText();

    QTimer m_timer;
    LinkStatus m_shown;
    bool m_first = true;
};

} // namespace zop
