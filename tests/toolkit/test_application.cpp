// Creating forms, the message pump and the ownership of what forms hold.
#include "tests/toolkit/toolkit_test_support.h"
#include "toolkit/app/application.h"
#include "toolkit/controls/controls.h"
#include "toolkit/app/form.h"

#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class ProbeForm;
ProbeForm* probeForm = nullptr;
bool probeFormSetBeforeBody = false;
bool probeFormThrows = false;

class ProbeForm : public TForm {
public:
    explicit ProbeForm(TComponent* owner) : TForm(owner) {
        probeFormSetBeforeBody = probeForm == this;
        button = new TButton(this, this);
        if (probeFormThrows) throw Exception("layout broken");
    }
    TButton* button;
};

// Counts how many of itself are alive; shows a widget, as the chart does.
struct Gadget {
    explicit Gadget(QWidget* parent) : widget(new QWidget(parent)) { ++alive; }
    ~Gadget() { --alive; }
    QWidget* Widget() const { return widget; }
    QWidget* widget;
    static inline int alive = 0;
};

}  // namespace

TEST(CreateForm, StoresTheFormBeforeItsConstructorRunsAndMakesTheFirstTheMainForm) {
    ASSERT_EQ(nullptr, Application->MainForm());
    probeFormThrows = false;
    Application->CreateForm(probeForm);
    ASSERT_NE(nullptr, probeForm);
    EXPECT_TRUE(probeFormSetBeforeBody);
    EXPECT_EQ(probeForm, Application->MainForm());
    EXPECT_EQ(probeForm, probeForm->button->Owner());

    ProbeForm* second = nullptr;
    Application->CreateForm(second);
    EXPECT_EQ(probeForm, Application->MainForm());
    delete second;

    delete probeForm;
    probeForm = nullptr;
    EXPECT_EQ(nullptr, Application->MainForm());
    EXPECT_EQ(0, Application->ComponentCount());
}

TEST(CreateForm, AConstructorThatThrowsLeavesNoFormBehind) {
    probeFormThrows = true;
    EXPECT_THROW(Application->CreateForm(probeForm), Exception);
    probeFormThrows = false;
    EXPECT_EQ(nullptr, probeForm);
    EXPECT_EQ(nullptr, Application->MainForm());
    EXPECT_EQ(0, Application->ComponentCount());
}

TEST(Ownership, AFormDestroysItsControlsAndTheObjectsItWasGiven) {
    auto* form = new TForm(nullptr);
    auto* panel = new TPanel(form, form);
    auto* button = new TButton(form, panel);
    QPointer<QWidget> buttonWidget = button->Widget();
    Gadget* gadget = form->Own(new Gadget(panel->Widget()));
    QPointer<QWidget> gadgetWidget = gadget->Widget();
    EXPECT_EQ(1, Gadget::alive);
    EXPECT_EQ(2, form->ComponentCount());

    delete form;
    EXPECT_EQ(0, Gadget::alive);
    EXPECT_TRUE(buttonWidget.isNull());
    EXPECT_TRUE(gadgetWidget.isNull());
}

TEST(Ownership, AControlDestroyedOnItsOwnLeavesTheFormConsistent) {
    auto* form = new TForm(nullptr);
    auto* button = new TButton(form, form);
    QPointer<QWidget> widget = button->Widget();
    delete button;
    EXPECT_TRUE(widget.isNull());
    EXPECT_EQ(0, form->ComponentCount());
    EXPECT_TRUE(form->ControlsInTabOrder().empty());
    delete form;
}

TEST(ProcessMessages, DispatchesWhatIsPendingAndCallsTheHook) {
    int hookCalls = 0;
    const MessagePumpHook previous = SetMessagePumpHook([&] { ++hookCalls; });
    int ran = 0;
    post([&] { ++ran; });
    post([&] { ++ran; });
    Application->ProcessMessages();
    SetMessagePumpHook(previous);
    EXPECT_EQ(2, ran);
    EXPECT_EQ(1, hookCalls);
}

TEST(ShowException, GoesToTheReporterWithTheApplicationTitle) {
    ErrorBoxCapture errors;
    Application->ShowException(Exception("bad"));
    ASSERT_EQ(1u, errors.shown.size());
    EXPECT_EQ("vantrel", errors.shown[0].title);
    EXPECT_EQ("bad", errors.shown[0].message);
}
