// The controls' own behaviour: check box hits, labelled edits, alignment,
// tab order, pages and status panels.
#include "toolkit/controls/controls.h"
#include "toolkit/app/form.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct FormDeleter {
    void operator()(TForm* form) const { delete form; }
};
using FormPtr = std::unique_ptr<TForm, FormDeleter>;

FormPtr make_form(int width = 400, int height = 300) {
    FormPtr form(new TForm(nullptr));
    form->SetClientSize(width, height);
    form->SetFont("Tahoma", -11);
    return form;
}

void show(TForm& form) {
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.Widget()));
}

}  // namespace

TEST(CheckBox, ToggleOnAClickAnywhereInItsRectangle) {
    FormPtr form = make_form();
    auto* box = new TCheckBox(form.get(), form.get());
    box->SetBounds(10, 10, 160, 17);
    box->SetCaption("Speed");
    std::vector<bool> seen;
    box->OnClick = [&](TObject* sender) {
        EXPECT_EQ(box, sender);
        seen.push_back(box->Checked());
    };
    show(*form);

    struct Case {
        const char* where;
        QPoint point;
    };
    const Case cases[] = {
        {"on the box", QPoint(6, 8)},
        {"on the text", QPoint(40, 8)},
        {"right of the text", QPoint(150, 8)},
        {"bottom-right corner", QPoint(159, 16)},
        {"top-left corner", QPoint(0, 0)},
    };
    bool expected = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        seen.clear();
        QTest::mouseClick(box->Widget(), Qt::LeftButton, {}, c.point);
        expected = !expected;
        EXPECT_EQ(expected, box->Checked());
        EXPECT_EQ(std::vector<bool>{expected}, seen);
    }
}

TEST(CheckBox, ClickEventFiresOnEveryChangeOfState) {
    FormPtr form = make_form();
    auto* box = new TCheckBox(form.get(), form.get());
    std::vector<bool> seen;
    box->OnClick = [&](TObject*) { seen.push_back(box->Checked()); };
    box->SetChecked(true);
    box->SetChecked(true);  // no change, no event
    box->SetChecked(false);
    EXPECT_EQ((std::vector<bool>{true, false}), seen);
}

TEST(LabeledEdit, LabelSitsThreePixelsLeftAndCentredVertically) {
    FormPtr form = make_form();
    auto* panel = new TPanel(form.get(), form.get());
    panel->SetBounds(0, 0, 400, 112);
    for (const char* caption : {"Kp", "w", "Pos"}) {
        SCOPED_TRACE(caption);
        auto* edit = new TLabeledEdit(form.get(), panel);
        edit->SetLabelCaption(caption);
        edit->SetBounds(256, 21, 57, 21);
        const QRect label = edit->LabelWidget()->geometry();
        EXPECT_EQ(256 - TLabeledEdit::LabelSpacing, label.left() + label.width());
        EXPECT_LE(std::abs((label.top() + label.bottom()) - (21 + 41)), 1);  // centres within a pixel
        EXPECT_EQ(panel->Widget(), edit->LabelWidget()->parentWidget());
        EXPECT_EQ(caption, edit->LabelCaption());
    }
}

TEST(LabeledEdit, DisablingGreysTheLabelToo) {
    FormPtr form = make_form();
    auto* edit = new TLabeledEdit(form.get(), form.get());
    for (bool enabled : {false, true, false}) {
        edit->SetEnabled(enabled);
        EXPECT_EQ(enabled, edit->Enabled());
        EXPECT_EQ(enabled, edit->Widget()->isEnabled());
        EXPECT_EQ(enabled, edit->LabelWidget()->isEnabled());
    }
}

TEST(LabeledEdit, NumbersOnlyLimitsTypingButNotTheProgram) {
    FormPtr form = make_form();
    auto* edit = new TLabeledEdit(form.get(), form.get());
    edit->SetNumbersOnly(true);
    edit->SetText("");
    QTest::keyClicks(edit->Widget(), "1a2-3 x4");
    EXPECT_EQ("1234", edit->Text());
    edit->SetText("abc");
    EXPECT_EQ("abc", edit->Text());
}

TEST(LabeledEdit, ChangeEventOnEveryTextChangeTypedOrSet) {
    FormPtr form = make_form();
    auto* edit = new TLabeledEdit(form.get(), form.get());
    std::vector<std::string> seen;
    edit->OnChange = [&](TObject* sender) {
        EXPECT_EQ(edit, sender);
        seen.push_back(edit->Text());
    };
    edit->SetText("25");
    edit->SetText("25");  // no change, no event
    QTest::keyClicks(edit->Widget(), "0");
    edit->SetText("");
    EXPECT_EQ((std::vector<std::string>{"25", "250", ""}), seen);
}

TEST(LabeledEdit, TintShowsWithItsNoteAndGoesLeavingTheEditAsItWas) {
    FormPtr form = make_form();
    auto* edit = new TLabeledEdit(form.get(), form.get());
    edit->SetBounds(10, 10, 57, 21);
    edit->SetHint("Integral factor");
    show(*form);
    const QImage own = edit->Widget()->grab().toImage();
    edit->SetTint(clLime, "first");
    edit->SetTint(clBlue, "second");  // a new tint replaces the last, note and all
    const QImage tinted = edit->Widget()->grab().toImage();
    EXPECT_EQ(QColor(0, 0, 255), tinted.pixelColor(tinted.width() / 2, 3));
    EXPECT_EQ("Integral factor\nsecond", edit->Hint());
    edit->SetTint(std::nullopt);
    EXPECT_EQ(own, edit->Widget()->grab().toImage());
    EXPECT_EQ("Integral factor", edit->Hint());
    EXPECT_EQ(std::nullopt, edit->Tint());
}

TEST(Align, TopAndBottomKeepTheirHeightAndClientTakesTheRest) {
    FormPtr form = make_form(668, 468);
    auto* pages = new TPageControl(form.get(), form.get());
    pages->SetBounds(0, 0, 668, 449);
    pages->SetAlign(alClient);
    auto* status = new TStatusBar(form.get(), form.get());
    status->SetBounds(0, 449, 668, 24);
    status->SetAlign(alBottom);
    auto* sheet = new TTabSheet(form.get(), pages);
    auto* top = new TPanel(form.get(), sheet);
    auto* client = new TPanel(form.get(), sheet);
    client->SetBounds(0, 112, 660, 309);
    client->SetAlign(alClient);
    top->SetBounds(0, 0, 660, 112);  // made after the client one: the kind decides, not the order
    top->SetAlign(alTop);
    show(*form);

    const int statusHeight = status->Height();
    for (QSize size : {QSize(668, 468), QSize(900, 700), QSize(500, 300)}) {
        SCOPED_TRACE(size.width());
        form->Widget()->resize(size);
        QApplication::processEvents();
        EXPECT_EQ(QRect(0, 0, size.width(), size.height() - statusHeight), pages->Widget()->geometry());
        EXPECT_EQ(QRect(0, size.height() - statusHeight, size.width(), statusHeight), status->Widget()->geometry());
        const int pageWidth = sheet->Widget()->width();
        const int pageHeight = sheet->Widget()->height();
        EXPECT_EQ(QRect(0, 0, pageWidth, 112), top->Widget()->geometry());
        EXPECT_EQ(QRect(0, 112, pageWidth, pageHeight - 112), client->Widget()->geometry());
    }
}

TEST(Align, UnalignedControlsKeepTheirPlace) {
    FormPtr form = make_form();
    auto* button = new TButton(form.get(), form.get());
    button->SetBounds(120, 8, 89, 25);
    show(*form);
    form->Widget()->resize(700, 500);
    QApplication::processEvents();
    EXPECT_EQ(QRect(120, 8, 89, 25), button->Widget()->geometry());
}

TEST(TabOrder, FocusMovesByTabOrderThroughNestedContainers) {
    FormPtr form = make_form();
    auto* panel = new TPanel(form.get(), form.get());
    panel->SetBounds(0, 0, 400, 200);
    auto* second = new TButton(form.get(), panel);
    auto* first = new TButton(form.get(), panel);
    auto* group = new TGroupBox(form.get(), panel);
    group->SetBounds(200, 0, 190, 190);
    auto* inGroupLast = new TCheckBox(form.get(), group);
    auto* inGroupFirst = new TLabeledEdit(form.get(), group);
    auto* afterGroup = new TButton(form.get(), panel);
    first->SetTabOrder(0);
    second->SetTabOrder(1);
    group->SetTabOrder(2);
    inGroupFirst->SetTabOrder(0);
    inGroupLast->SetTabOrder(1);
    afterGroup->SetTabOrder(3);
    show(*form);
    QApplication::setActiveWindow(form->Widget());

    const std::vector<TControl*> expected = {first, second, inGroupFirst, inGroupLast, afterGroup};
    first->Widget()->setFocus();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i]->FocusWidget(), QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

TEST(PageControl, TheFirstPageIsActiveUntilAnotherIsChosen) {
    FormPtr form = make_form();
    auto* pages = new TPageControl(form.get(), form.get());
    auto* one = new TTabSheet(form.get(), pages);
    auto* two = new TTabSheet(form.get(), pages);
    EXPECT_EQ(one, pages->ActivePage());
    pages->SetActivePage(two);
    EXPECT_EQ(two, pages->ActivePage());
}

TEST(StatusBar, APanelBeyondTheLastIsRefused) {
    FormPtr form = make_form();
    auto* bar = new TStatusBar(form.get(), form.get());
    bar->AddPanel(150);
    bar->AddPanel(50);
    EXPECT_NO_THROW(bar->Panels(1));
    EXPECT_THROW(bar->Panels(2), std::out_of_range);
}
