#pragma once
// The ownership tree of the window code: every component is destroyed by
// its owner, the last created first. Toolkit objects that are no components
// (chart, image) can be handed to an owner with Own().
#include <functional>
#include <vector>

class QWidget;

class TObject {
public:
    virtual ~TObject() = default;
};

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const;

    // Takes `thing` into this component's keeping; returns it. Something
    // that shows a widget loses the widget with it.
    template <class T>
    T* Own(T* thing) {
        if constexpr (requires { thing->Widget(); }) {
            own_with_widget([thing] { delete thing; }, thing->Widget());
        } else {
            own([thing] { delete thing; });
        }
        return thing;
    }

protected:
    // Destroys every owned component and object, the last created first.
    void DestroyComponents();
    // Called when an owned component goes away.
    virtual void ComponentRemoved(TComponent*) {}

private:
    struct Owned {
        TComponent* component;  // null for an object handed over with Own
        std::function<void()> destroy;
    };
    void own(std::function<void()> destroy);
    void own_with_widget(std::function<void()> destroy, QWidget* widget);
    void insert(TComponent* component);
    void remove(TComponent* component);

    TComponent* owner_;
    std::vector<Owned> owned_;
};
