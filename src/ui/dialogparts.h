#pragma once
// Parts every dialog of the program shares: the program's icon, and the OK and Cancel row
// (OK the default button for Enter, Cancel the one for Escape through QDialog::reject).

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QString;
class QPushButton;
class QWidget;

namespace zop {

// The window icon from "icon.ico" in the program folder, when there is one.
void LoadProgramIcon(QWidget *window);

// Makes `cmdOK` and `cmdCancel` on `dialog` and returns their row, right-aligned.
QHBoxLayout *OkCancelRow(QWidget *dialog, QPushButton *&cmdOK, QPushButton *&cmdCancel);

// A label that shows `text` as plain text only (instrument text is never rich text), named
// `name` when one is given.
QLabel *PlainLabel(const QString &text, const char *name, QWidget *parent);

// The bold column heads "Setting", "Current" and "New" of a settings dialog, in row 0 of
// `grid`.
void SettingHeadings(QGridLayout *grid, QWidget *parent);

} // namespace zop
