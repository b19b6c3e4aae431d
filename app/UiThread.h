#pragma once
// Work handed to the UI thread from any thread, run in order by Qt's event loop.
#include <functional>

namespace TavrinApp {

/// Queues `work` on the application object's thread; dropped when no application exists.
void PostToUiThread(std::function<void()> work);

}  // namespace TavrinApp
