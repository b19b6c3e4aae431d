#pragma once
// The window icon, from the raster the icon generator draws at build time.
#include <QIcon>

namespace TavrinApp {

QIcon AppIcon();

}  // namespace TavrinApp
