#include "app/NoticePresenter.h"

#include <QMessageBox>
#include <QPushButton>

namespace TavrinApp {

void ShowNoticeBox(QWidget* parent, const Notice& notice) {
    QMessageBox box(parent);
    box.setWindowTitle(notice.title);
    box.setText(notice.text);
    box.addButton(notice.button, QMessageBox::AcceptRole);
    box.exec();
}

}  // namespace TavrinApp
