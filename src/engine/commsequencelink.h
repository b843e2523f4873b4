#pragma once
// The sequence engine's link through the communication layer, for a window that runs a
// sequence: commands go out with SendCommand (echoed into the transaction log when `log` is
// set, as the panel's debug mode does), replies come back with ReadStatusReply, so a reply
// that does not come stops the run without the layer's time-out message. A fall-back to
// Simulated mode (a failed write, a lost link) is a lost link to the engine, and in Simulated
// mode nothing is sent at all: a sequence never runs on the Simulated link.

#include "engine/sequencerunner.h"

namespace zop {

class CommSequenceLink : public SequenceLink {
public:
    explicit CommSequenceLink(bool log = false) : m_log(log) {}
    // False in Simulated mode: a window offers no Start then.
    static bool available();
    LinkReply send(const QString &command) override;
    LinkReply query(const QString &command) override;

private:
    bool m_log;
};

} // namespace zop
