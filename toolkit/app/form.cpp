#include "toolkit/app/form.h"

#include "toolkit/app/events.h"

#include <QCloseEvent>
#include <QFont>
#include <QPalette>
#include <QWidget>

class TForm::Window : public QWidget {
public:
    explicit Window(TForm& form) : form_(form) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        if (DeferCloseWhileHandlersRun(this)) {
            event->ignore();
            if (form_.OnCloseHeldBack) form_.OnCloseHeldBack();
            return;
        }
        event->accept();
        form_.closed();
    }

private:
    TForm& form_;
};

TForm::TForm(TComponent* owner) : TWinControl(owner, nullptr, new Window(*this)) {
    QWidget* window = Widget();
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

TForm::~TForm() {
    // The controls go first, while the widgets they refer to still exist.
    DestroyComponents();
}

void TForm::SetCaption(const std::string& caption) { Widget()->setWindowTitle(QString::fromStdString(caption)); }
std::string TForm::Caption() const { return Widget()->windowTitle().toStdString(); }

void TForm::SetPosition(int left, int top) { Widget()->move(left, top); }

void TForm::SetClientSize(int width, int height) { Widget()->resize(width, height); }

void TForm::SetFont(const std::string& name, int height) {
    // Where the named face is missing, sans faces of similar width keep the
    // captions inside controls sized for it.
    QFont font;
    font.setFamilies({QString::fromStdString(name), "Liberation Sans", "Arial", "Nimbus Sans", "DejaVu Sans"});
    if (height < 0) {
        font.setPixelSize(-height);
    } else if (height > 0) {
        font.setPixelSize(height);
    }
    Widget()->setFont(font);
}

void TForm::Show() {
    Widget()->show();
}

void TForm::Close() { Widget()->close(); }

bool TForm::Visible() const { return Widget()->isVisible(); }

void TForm::closed() {
    if (OnClosed) OnClosed();
}
