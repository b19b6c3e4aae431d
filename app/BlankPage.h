#pragma once
// The side panel's closed state: an empty page.
#include <QWidget>

namespace TavrinApp {

class BlankPage : public QWidget {
    Q_OBJECT
public:
    explicit BlankPage(QWidget* parent = nullptr);
};

}  // namespace TavrinApp
