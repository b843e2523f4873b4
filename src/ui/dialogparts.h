#pragma once
// Parts every dialog of the program shares: the program's icon, and the OK and Cancel row
// (OK the default button for Enter, Cancel the one for Escape through QDialog::reject).

class QHBoxLayout;
class QPushButton;
class QWidget;

namespace zop {

// The window icon from "icon.ico" in the program folder, when there is one.
void LoadProgramIcon(QWidget *window);

// Makes `cmdOK` and `cmdCancel` on `dialog` and returns their row, right-aligned.
QHBoxLayout *OkCancelRow(QWidget *dialog, QPushButton *&cmdOK, QPushButton *&cmdCancel);

} // namespace zop
