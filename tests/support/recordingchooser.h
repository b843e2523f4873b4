#pragma once
// A file dialog for window tests: records what it was asked and gives `answer` (empty: the
// user cancelled), or fails like a dialog that could not be shown.

#include "ui/selectfile.h"

#include <QList>
#include <QString>
#include <stdexcept>

namespace zop::test {

class RecordingChooser : public FileChooser {
public:
    QString choose(const FileRequest &request) override
    {
        requests << request;
        if (fail)
            throw std::runtime_error("dialog failed");
        return answer;
    }
    QList<FileRequest> requests;
    QString answer;
    bool fail = false;
};

} // namespace zop::test
