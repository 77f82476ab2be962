#include "ui/program_icon.h"

#include <QImageReader>
#include <QPixmap>

// Resources in a static library are dropped by the linker unless something refers to them.
static void LoadIconResource() { Q_INIT_RESOURCE(program_icon); }

namespace kavrel {

QIcon ProgramIcon() {
    LoadIconResource();
    // Each size rendered from the vector picture itself: crisp from a title bar's 16 pixels to
    // a task switcher's 256.
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImageReader reader(QStringLiteral(":/icons/kavrel.svg"));
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        if (image.isNull()) return QIcon();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

}  // namespace kavrel
