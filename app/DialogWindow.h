#pragma once
// Helpers shared by the windows' layouts. Main thread only.
#include <QFont>
#include <QString>

class QWidget;

// The program's small sans-serif face at a height in pixels.
QFont windowFont(int pixelSize, bool bold = false);
// A fixed, non-resizable dialog window: title and close box, no minimise or maximise.
void makeFixedDialog(QWidget& window, const QString& caption, int clientWidth, int clientHeight, int left,
                     int top);
