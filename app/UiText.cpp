#include "app/UiText.h"

#include "scene/MainRenderer.h"

namespace TavrinApp {

Notice NoSceneNotice() {
    return {ToQString(ProjectTavrin::kNoSceneNoticeTitle), ToQString(ProjectTavrin::kNoSceneNoticeText),
            ToQString(ProjectTavrin::kNoSceneNoticeButton)};
}

Notice UnsupportedDeviceNotice() {
    return {QStringLiteral("硬件提示"),
            QStringLiteral("你的显卡不支持Vulkan 1.3.\r\nYour graphics card does not support Vulkan 1.3."),
            QStringLiteral("OK")};
}

}  // namespace TavrinApp
