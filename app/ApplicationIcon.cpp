#include "app/ApplicationIcon.h"

QIcon applicationIcon() {
    // The resource lives in a static library: nothing else would pull it into the program.
    Q_INIT_RESOURCE(icons);
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/hicolor/%1x%1/apps/veldora.png").arg(size), QSize(size, size));
    return icon;
}
