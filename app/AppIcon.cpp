#include "app/AppIcon.h"

#include <QImage>
#include <QPixmap>

#include "AppIcon.inc"

namespace TavrinApp {

QIcon AppIcon() {
    const QImage image(kAppIconRgba, kAppIconSize, kAppIconSize, kAppIconSize * 4, QImage::Format_RGBA8888);
    return QIcon(QPixmap::fromImage(image.copy()));
}

}  // namespace TavrinApp
