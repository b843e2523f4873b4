#pragma once
// The Enter Value dialog `frmInput`: a caption, one text box and OK / Cancel. It accepts any
// text; the caller decides what the text means.

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zop {

class frmInput : public QDialog {
    Q_OBJECT
public:
    explicit frmInput(QWidget *parent = nullptr);

    QString sTitle;
    QString sValue;
    // What the value is and the range the instrument takes ("Volts, 0.00 to 60.00"), shown
    // under the box; a hint only, the text typed goes out as it is.
    QString sHint;
    // Puts the title, the hint and the value (an empty one shows "0.0") into the dialog.
    void load();

    QLabel *lblHint = nullptr;
    QLineEdit *txtValue = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
};

// Shows the dialog modally and returns the text typed, or nothing when the user cancelled.
using ValueEntry = std::function<std::optional<QString>(QWidget *parent, const QString &title,
                                                        const QString &value)>;
std::optional<QString> EnterValue(QWidget *parent, const QString &title, const QString &value,
                                  const QString &hint = QString());
// Tests answer the dialog themselves; null puts the real dialog back.
void SetValueEntry(ValueEntry entry);

} // namespace zop
