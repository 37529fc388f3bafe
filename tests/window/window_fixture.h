#pragma once
// The main window as the tests meet it: made by the application, shown,
// with the pause replaced so runs go fast and the tests can act in a pass.
#include "core/engine/module.h"
#include "core/program/nc_program.h"
#include "io/nc_program_file.h"
#include "tests/toolkit/toolkit_test_support.h"
#include "toolkit/sys/settings.h"
#include "toolkit/sys/sysutils.h"
#include "window/main_form.h"

#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        nc_release_program();  // every test starts with no NC program loaded
        nc_choose_demo();
        ClearSettings();  // every test starts as a first start of the program
        previousSleep_ = SetSleepHandler([this](unsigned ms) {
            pauses.push_back(ms);
            if (onPause) onPause(static_cast<int>(pauses.size()));
        });
        Application->CreateForm(Form1);
        Form1->Show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form1->Widget()));
    }
    void TearDown() override {
        SetSleepHandler(previousSleep_);
        delete Form1;
        Form1 = nullptr;
        nc_choose_demo();
    }

    static void click(TControl* control) { QTest::mouseClick(control->Widget(), Qt::LeftButton); }
    // A click that reaches the window at the run's next ProcessMessages.
    static void click_later(TControl* control) {
        post([control] { click(control); });
    }
    static void show_regulation_page() { Form1->PageControl1->SetActivePage(Form1->TabSheet1); }
    // The mode and program a run takes: speed mode or not, the file or (null) the demo.
    static void choose_run(bool speed, const char* program) {
        if (Form1->cbSpeedRegulation->Checked() != speed) click(Form1->cbSpeedRegulation);
        std::string error;
        if (program) EXPECT_TRUE(choose_nc_program_file(program, error)) << error;
        else nc_choose_demo();
    }

    static std::vector<double> xs(const TLineSeries* series) {
        std::vector<double> values;
        for (std::size_t i = 0; i < series->Count(); ++i) values.push_back(series->XValue(i));
        return values;
    }
    static std::vector<double> ys(const TLineSeries* series) {
        std::vector<double> values;
        for (std::size_t i = 0; i < series->Count(); ++i) values.push_back(series->YValue(i));
        return values;
    }

    std::vector<unsigned> pauses;             // every Sleep of a run, in ms
    std::function<void(int pass)> onPause;    // runs inside the pause of pass 1, 2, ...
    ErrorBoxCapture errors;

private:
    SleepHandler previousSleep_;
};
