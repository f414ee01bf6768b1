// The program's message boxes: no icon, the program's name as title.
#pragma once
#include <QString>

class QWidget;

namespace qvo::ui {

inline constexpr const char *kMessageTitle = "Qvo";

// An error or notice with only an OK button; returns when it is closed.
void showMessage(const QString &text, QWidget *parent = nullptr);

} // namespace qvo::ui
