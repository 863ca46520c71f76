#pragma once
// Helpers shared by the windows' layouts. Main thread only.
#include <QFont>
#include <QString>

class QWidget;

// The face every caption is set in: the first of the preferred faces that is
// installed, measured to fit the designed gaps at 9 and 11 pixels ("MiliSec." in
// 40 pixels, "Revers" inside a 41-pixel button). The package depends on the first.
QString windowFaceFamily();
// The program's small sans-serif face at a height in pixels.
QFont windowFont(int pixelSize, bool bold = false);
// A fixed, non-resizable dialog window: title and close box, no minimise or maximise.
void makeFixedDialog(QWidget& window, const QString& caption, int clientWidth, int clientHeight, int left,
                     int top);
