#include "toolkit/controls/popup_menu.h"

#include <QMenu>
#include <QWidget>

void TPopupMenu::AddItem(const std::string& caption, TNotifyEvent onClick) {
    items_.push_back({caption, std::move(onClick)});
}

void TPopupMenu::Click(std::size_t index) const { FireEvent(items_.at(index).onClick, nullptr); }

void TPopupMenu::AttachTo(QWidget* widget) {
    widget->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(widget, &QWidget::customContextMenuRequested, widget, [this, widget](const QPoint& pos) {
        SetPopupX(pos.x());
        QMenu menu(widget);
        for (std::size_t i = 0; i < items_.size(); ++i) {
            menu.addAction(QString::fromStdString(items_[i].caption))->setData(static_cast<qulonglong>(i));
        }
        // The menu closes before the handler runs, so a handler that opens a
        // dialog or an error box does so over the window, not over the menu.
        if (QAction* chosen = menu.exec(widget->mapToGlobal(pos))) {
            Click(static_cast<std::size_t>(chosen->data().toULongLong()));
        }
    });
}
