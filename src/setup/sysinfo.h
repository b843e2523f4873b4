#pragma once
// Starting the system-information viewer from the About box. The viewers looked for on PATH are
// listed in one place; finding and starting a program goes through a replaceable launcher so
// tests can see what would have run.

#include <QString>
#include <QStringList>
#include <memory>

namespace zop {

// Debian's system-information viewers, the most fitting first.
const QStringList &SystemInfoViewers();

inline const QString SysInfoUnavailable =
    QStringLiteral("System Information Is Unavailable At This Time");

class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // The full path of a program found on PATH, or empty text.
    virtual QString findProgram(const QString &name);
    // Starts it in its own process; false when it could not be started.
    virtual bool startProgram(const QString &path);
};

// Null puts the real launcher back.
void SetProgramLauncher(std::shared_ptr<ProgramLauncher> launcher);

// Starts the first viewer found that starts; otherwise shows "System Information Is Unavailable
// At This Time" (OK button, no icon). Returns whether one was started.
bool StartSysInfo();

} // namespace zop
