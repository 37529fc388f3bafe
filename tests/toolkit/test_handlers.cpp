// Click handlers as the message loop runs them: nesting, exceptions shown in
// the error box, and a window close held back while a handler runs.
#include "tests/toolkit/toolkit_test_support.h"
#include "toolkit/app/application.h"
#include "toolkit/controls/controls.h"
#include "toolkit/app/form.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

namespace {

// A window with two buttons whose handlers the tests fill in.
class HandlerForm : public TForm {
public:
    explicit HandlerForm(TComponent* owner) : TForm(owner) {
        SetClientSize(300, 100);
        outer = new TButton(this, this);
        outer->SetBounds(10, 10, 80, 25);
        inner = new TButton(this, this);
        inner->SetBounds(100, 10, 80, 25);
        outer->OnClick = Bind(this, &HandlerForm::OuterClick);
        inner->OnClick = Bind(this, &HandlerForm::InnerClick);
    }
    void OuterClick(TObject*) { onOuter(); }
    void InnerClick(TObject*) { onInner(); }

    TButton* outer;
    TButton* inner;
    std::function<void()> onOuter = [] {};
    std::function<void()> onInner = [] {};
};

HandlerForm* handlerForm = nullptr;

class Handlers : public ::testing::Test {
protected:
    void SetUp() override {
        Application->CreateForm(handlerForm);
        form = handlerForm;
        form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form->Widget()));
    }
    void TearDown() override {
        delete handlerForm;
        handlerForm = nullptr;
    }
    static void click(TButton* button) { QTest::mouseClick(button->Widget(), Qt::LeftButton); }

    HandlerForm* form = nullptr;
    ErrorBoxCapture errors;
};

}  // namespace

TEST_F(Handlers, AClickInsideARunningHandlerRunsNestedAndReturnsToIt) {
    std::vector<int> depths;
    form->onInner = [&] { depths.push_back(HandlerDepth()); };
    form->onOuter = [&] {
        depths.push_back(HandlerDepth());
        post([&] { click(form->inner); });
        Application->ProcessMessages();
        depths.push_back(HandlerDepth());
    };
    click(form->outer);
    EXPECT_EQ((std::vector<int>{1, 2, 1}), depths);
    EXPECT_EQ(0, HandlerDepth());
}

TEST_F(Handlers, AnExceptionLeavingAHandlerIsShownAndLaterClicksStillWork) {
    struct Case {
        const char* name;
        std::function<void()> raise;
        const char* message;
    };
    const Case cases[] = {
        {"Exception", [] { throw Exception("edit value bad"); }, "edit value bad"},
        {"std::exception", [] { throw std::runtime_error("out of range"); }, "out of range"},
        {"anything else", [] { throw 42; }, ""},
    };
    Application->Title = "bench";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        errors.shown.clear();
        form->onOuter = c.raise;
        click(form->outer);
        ASSERT_EQ(1u, errors.shown.size());
        EXPECT_EQ("bench", errors.shown[0].title);
        EXPECT_EQ(c.message, errors.shown[0].message);
        EXPECT_EQ(0, HandlerDepth());

        int clicks = 0;
        form->onOuter = [&] { ++clicks; };
        click(form->outer);
        EXPECT_EQ(1, clicks);
        EXPECT_TRUE(form->Visible());
    }
    Application->Title = "vantrel";
}

TEST_F(Handlers, AThrowInANestedHandlerEndsOnlyThatHandler) {
    bool outerFinished = false;
    form->onInner = [] { throw Exception("inner"); };
    form->onOuter = [&] {
        post([&] { click(form->inner); });
        Application->ProcessMessages();
        outerFinished = true;
        throw Exception("outer");
    };
    click(form->outer);
    EXPECT_TRUE(outerFinished);
    ASSERT_EQ(2u, errors.shown.size());
    EXPECT_EQ("inner", errors.shown[0].message);
    EXPECT_EQ("outer", errors.shown[1].message);
    EXPECT_EQ(0, HandlerDepth());
}

TEST_F(Handlers, ACloseDuringHandlersWaitsForTheOutermostToReturn) {
    std::vector<bool> visibleWhileRunning;
    form->onInner = [&] {
        form->Close();
        Application->ProcessMessages();
        visibleWhileRunning.push_back(form->Visible());
    };
    form->onOuter = [&] {
        form->Close();
        for (int pass = 0; pass < 3; ++pass) {
            post([&] { click(form->inner); });
            Application->ProcessMessages();
            visibleWhileRunning.push_back(form->Visible());
        }
    };
    click(form->outer);
    EXPECT_EQ(std::vector<bool>(6, true), visibleWhileRunning);
    EXPECT_TRUE(form->Visible());  // the close is queued, not done inside the click
    EXPECT_FALSE(Application->Terminated());

    Application->ProcessMessages();
    EXPECT_FALSE(form->Visible());
    EXPECT_TRUE(Application->Terminated());  // it is the main form
}

TEST_F(Handlers, ACloseWithNoHandlerRunningClosesAtOnce) {
    form->Close();
    EXPECT_FALSE(form->Visible());
    EXPECT_TRUE(Application->Terminated());
    // Ending the program outside its message loop leaves later loops (menus,
    // dialogs) working.
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&loop] { loop.exit(7); });
    EXPECT_EQ(loop.exec(), 7);
}

TEST_F(Handlers, RunEndsOnlyAfterTheHandlerDuringWhichTheWindowWasClosed) {
    int passesAfterClose = 0;
    bool visibleAtEnd = false;
    form->onOuter = [&] {
        form->Close();
        for (; passesAfterClose < 5; ++passesAfterClose) Application->ProcessMessages();
        visibleAtEnd = form->Visible();
    };
    post([&] { click(form->outer); });
    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        timedOut = true;
        Application->Terminate();
    });
    watchdog.start(5000);
    Application->Run();
    EXPECT_FALSE(timedOut);
    EXPECT_EQ(5, passesAfterClose);
    EXPECT_TRUE(visibleAtEnd);
    EXPECT_FALSE(form->Visible());
}
