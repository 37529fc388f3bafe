#include "toolkit/app/component.h"

#include <QPointer>
#include <QWidget>

#include <algorithm>

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_) owner_->insert(this);
}

TComponent::~TComponent() {
    DestroyComponents();
    if (owner_) owner_->remove(this);
}

int TComponent::ComponentCount() const {
    return static_cast<int>(std::count_if(owned_.begin(), owned_.end(), [](const Owned& o) { return o.component; }));
}

void TComponent::DestroyComponents() {
    while (!owned_.empty()) {
        Owned last = std::move(owned_.back());
        owned_.pop_back();
        last.destroy();
    }
}

void TComponent::own(std::function<void()> destroy) { owned_.push_back({nullptr, std::move(destroy)}); }

void TComponent::own_with_widget(std::function<void()> destroy, QWidget* widget) {
    QPointer<QWidget> guard(widget);
    // The object may or may not delete its widget itself; the guard tells.
    own([destroy = std::move(destroy), guard] {
        destroy();
        delete guard.data();
    });
}

void TComponent::insert(TComponent* component) {
    owned_.push_back({component, [component] { delete component; }});
}

void TComponent::remove(TComponent* component) {
    const auto it = std::find_if(owned_.begin(), owned_.end(), [component](const Owned& o) { return o.component == component; });
    if (it != owned_.end()) owned_.erase(it);
    ComponentRemoved(component);
}
