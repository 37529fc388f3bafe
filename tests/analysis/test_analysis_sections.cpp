// The analysis panel's sections on the window: metrics, kept runs, the
// setpoint line, cursors and gain files.
#include "analysis/frame/analysis_panel.h"
#include "analysis/kept/cursor_section.h"
#include "analysis/kept/kept_runs_section.h"
#include "analysis/kept/kept_runs_table.h"
#include "core/formats/csv.h"
#include "core/measure/headless_run.h"
#include "core/formats/metrics_format.h"
#include "analysis/live/metrics_section.h"
#include "analysis/live/run_record.h"
#include "analysis/live/twin_overlay.h"
#include "analysis/map/gain_map_section.h"
#include "analysis/map/gain_map_view.h"
#include "tests/window/window_fixture.h"
#include "toolkit/sys/dialogs.h"
#include "window/exports.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

QPushButton* panel_button(const QString& caption) {
    for (QPushButton* b : Form1->Analysis->panel()->findChildren<QPushButton*>()) {
        if (b->text() == caption) return b;
    }
    ADD_FAILURE() << "no button " << caption.toStdString();
    return nullptr;
}

class PanelSections : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        show_regulation_page();
        Form1->Analysis->open();
    }
    // A speed-mode run ended by "Regelung aus" in its pass `passes`.
    void speed_run(int passes, const char* kp = "250") {
        if (!Form1->cbSpeedRegulation->Checked()) click(Form1->cbSpeedRegulation);
        Form1->edKp->SetText(kp);
        onPause = [passes, this](int n) {
            if (n == passesBefore_ + passes) click_later(Form1->Button2);
        };
        passesBefore_ = static_cast<int>(pauses.size());
        click(Form1->Button1);
    }

private:
    int passesBefore_ = 0;
};

}  // namespace

// Sized from the font's metrics, whatever font the machine has: the kept
// runs' list shows all its rows without a scroll bar of its own (also in a
// font half as large again), and at the window's designed height the map's
// controls and its picture show together (scrolled to the map's title).
TEST_F(PanelSections, KeptListAndMapFitTheFontAtTheDesignedHeight) {
    QWidget* map = Form1->Analysis->panel()->findChild<QWidget*>("gainMap");
    ASSERT_NE(nullptr, map);
    const QWidget* view = dynamic_cast<GainMapSection*>(map)->view();
    const QScrollArea* scroll = Form1->Analysis->panel()->scroll_area();
    const int designed = Form1->Widget()->font().pixelSize();
    for (const double scale : {1.0, 1.5}) {
        SCOPED_TRACE(scale);
        QFont font = Form1->Widget()->font();
        font.setPixelSize(static_cast<int>(std::lround(designed * scale)));
        Form1->Widget()->setFont(font);
        QApplication::processEvents();
        if (scale == 1.0) {
            for (int run = 0; run < 9; ++run) speed_run(2);
        }
        ASSERT_EQ(468, Form1->Widget()->height());
        const QListWidget* list = Form1->Analysis->panel()->findChild<QListWidget*>();
        ASSERT_EQ(8, list->count());
        EXPECT_LE(list->visualItemRect(list->item(7)).bottom(), list->viewport()->height());
        const QWidget* column = scroll->widget();
        const int top = map->parentWidget()->mapTo(column, QPoint(0, 0)).y();
        const int bottom = view->mapTo(column, QPoint(0, view->height())).y();
        // A font half as large again takes the map's room in 468 pixels: then it keeps its least.
        if (scale == 1.0) {
            EXPECT_LE(bottom - top, scroll->viewport()->height());
        }
        EXPECT_GE(view->height(), GainMapSection::kLeastMapHeight);
    }
}

// The run on the chart leads the table; the run column stays in sight when
// the table scrolls sideways; the copy note goes when the runs change.
TEST_F(PanelSections, SideBySideTableLeadsWithTheChartsRunAndKeepsItsRunColumn) {
    speed_run(3);
    speed_run(3, "300");
    KeptRunsTable& table = *Form1->Analysis->kept_table();
    const auto rows = table.rows();
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(0, rows[0].number);
    EXPECT_EQ(300, rows[0].gains.kp);
    EXPECT_EQ("chart", table.table()->item(0, 0)->text().toStdString());
    EXPECT_EQ("#1", table.table()->item(1, 0)->text().toStdString());

    QApplication::processEvents();
    const QRect runColumn = table.run_column()->geometry();
    EXPECT_EQ(table.table()->columnWidth(0), runColumn.width());
    table.table()->horizontalScrollBar()->setValue(table.table()->horizontalScrollBar()->maximum());
    QApplication::processEvents();
    EXPECT_LT(table.table()->visualRect(table.table()->model()->index(0, 1)).left(), 0);  // scrolled away
    EXPECT_EQ(runColumn, table.run_column()->geometry());
    EXPECT_TRUE(table.run_column()->isVisible());

    QTest::mouseClick(panel_button("Copy table"), Qt::LeftButton);
    EXPECT_EQ("Copied 2 runs as CSV, at full precision.", table.note());
    const QStringList csv = QGuiApplication::clipboard()->text().split('\n');
    EXPECT_TRUE(csv.value(1).startsWith("chart,speed,300,")) << csv.value(1).toStdString();
    speed_run(3);
    EXPECT_TRUE(table.note().isEmpty());
}

TEST_F(PanelSections, CopyMetricsCopiesTheHeaderAndRowTheTraceWouldPrint) {
    MetricsSection& metrics = *Form1->Analysis->metrics();
    QGuiApplication::clipboard()->setText("before");
    QTest::mouseClick(panel_button("Copy metrics"), Qt::LeftButton);
    EXPECT_EQ("before", QGuiApplication::clipboard()->text());
    EXPECT_TRUE(metrics.copy_note().startsWith("Nothing to copy")) << metrics.copy_note().toStdString();
    EXPECT_EQ("\u2013", metrics.value_text("rise_ms"));

    speed_run(30);
    const std::string row = metrics.csv_row();
    EXPECT_EQ(Form1->Analysis->record().csv_row(), row);
    EXPECT_EQ(0u, row.rfind("speed,250,60,0,", 0));
    QTest::mouseClick(panel_button("Copy metrics"), Qt::LeftButton);
    EXPECT_EQ(metrics_csv_header() + row, QGuiApplication::clipboard()->text().toStdString());
    // Shown rounded, copied in full.
    const RunMetrics m = Form1->Analysis->record().metrics();
    ASSERT_TRUE(m.steadyError);
    EXPECT_EQ(QString::number(*m.steadyError, 'f', 3), metrics.value_text("steady_error"));
    EXPECT_EQ(QString::number(m.passes), metrics.value_text("passes"));
}

TEST(KeptRunsTable, MarksTheBestOfEachColumnPerModeAndCopiesAsCsv) {
    auto run = [](int number, bool speed, std::optional<std::int64_t> rise, double overshoot, double steady,
                  std::int64_t iae) {
        KeptRunsSection::KeptRun r;
        r.number = number;
        r.metrics.speedMode = speed;
        r.metrics.riseMs = rise;
        r.metrics.overshootPct = overshoot;
        r.metrics.steadyError = steady;
        r.metrics.iae = iae;
        if (!speed) r.metrics.overshootPct = r.metrics.steadyError = std::nullopt;
        return r;
    };
    const std::vector<KeptRunsSection::KeptRun> runs = {
        run(1, true, 40, 5.0, -2, 900), run(2, true, 40, 12.5, 1, 700), run(3, true, std::nullopt, 0.25, 3, 800),
        run(4, false, std::nullopt, 0, 0, 5000)};
    const auto best = kept_runs_best(runs);
    struct Row {
        const char* column;
        std::vector<bool> best;  // per run
    };
    const Row rows[] = {
        {"rise_ms", {true, true, false, false}},       // a tie marks both; none is no best
        {"overshoot_pct", {false, false, true, false}},
        {"steady_error", {false, true, false, false}},  // nearest zero
        {"iae", {false, true, false, true}},            // per mode
        {"kp", {false, false, false, false}},           // a setting has no best
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.column);
        const std::size_t c = std::size_t(metric_column_named(row.column)->id);
        for (std::size_t r = 0; r < runs.size(); ++r) EXPECT_EQ(row.best[r], best[r][c]) << "run " << r + 1;
    }
    const std::string csv = kept_runs_csv(runs);
    EXPECT_EQ("run,mode," + metrics_csv_header().substr(5), csv.substr(0, csv.find('\n') + 1));
    EXPECT_NE(std::string::npos, csv.find("\n3,speed,0,0,0,0,0,0,,0.25,")) << csv;
}

TEST(MetricText, WholeNumbersAsSuchFractionsWithThreeDecimals) {
    const MetricColumn& whole = metric_column(Metric::kIae);
    const MetricColumn& fraction = metric_column(Metric::kOvershootPct);
    struct Row {
        const MetricColumn& column;
        std::optional<double> value;
        const char* text;
    };
    const Row rows[] = {{whole, 120, "120"},          {whole, -7, "-7"},         {fraction, 12.5, "12.500"},
                        {fraction, 2.0 / 3, "0.667"}, {fraction, -1e-9, "0.000"}, {fraction, std::nullopt, "\u2013"}};
    for (const Row& r : rows) EXPECT_EQ(r.text, metric_text(r.column, r.value));
}

TEST_F(PanelSections, KeptRunsSurviveClearAtMostEightTheOldestGoingFirst) {
    KeptRunsSection& kept = *Form1->Analysis->kept_runs();
    speed_run(5);
    EXPECT_TRUE(kept.kept().empty());
    speed_run(3, "120");
    ASSERT_EQ(1u, kept.kept().size());
    const KeptRunsSection::KeptRun& first = kept.kept()[0];
    EXPECT_EQ("#1 speed Kp 250 Ki 60 Kd 0 w 80", first.label);
    ASSERT_NE(nullptr, first.lines[1]);
    EXPECT_EQ(nullptr, first.lines[2]);  // speed mode leaves the position series at their start point
    EXPECT_EQ(6u, first.lines[1]->Count());
    EXPECT_EQ(24, first.lines[1]->YValue(2));  // the window's second speed value
    EXPECT_EQ(4u, Form1->Series2->Count());  // the new run's own points

    // The export offers the kept run's columns after the chart's own.
    const std::string csv = chart_csv();
    EXPECT_EQ("time,y (PWM),v (IST),x (Pos),x (SollPos),#1 Kp 250 Ki 60 Kd 0 w 80: y (PWM),#1 Kp 250 Ki 60 Kd 0 w 80: v (IST)",
              csv.substr(0, csv.find('\n')));

    for (int run = 0; run < 9; ++run) speed_run(2);
    ASSERT_EQ(KeptRunsSection::kMaxKept, kept.kept().size());
    EXPECT_EQ(3, kept.kept().front().number);
    EXPECT_EQ("#3 speed Kp 250 Ki 60 Kd 0 w 80", kept.kept().front().label);

    const std::size_t overlays = Form1->Chart1->OverlayCount();
    QListWidget* list = Form1->Analysis->panel()->findChild<QListWidget*>();
    ASSERT_EQ(8, list->count());
    // A colour each, none twice, none near a live line's, and all eight rows in sight.
    std::set<TColor> colours;
    const TColor live[] = {Form1->Series1->Color(), Form1->Series2->Color(), Form1->Series3->Color(),
                           Form1->Series4->Color(), TwinOverlay::kDifferenceColour};
    for (const auto& run : kept.kept()) {
        colours.insert(run.colour);
        for (const TColor line : live) {
            const int apart = std::abs(color_red(run.colour) - color_red(line)) +
                              std::abs(color_green(run.colour) - color_green(line)) +
                              std::abs(color_blue(run.colour) - color_blue(line));
            EXPECT_GE(apart, 128) << "kept run " << run.number;
        }
    }
    EXPECT_EQ(KeptRunsSection::kMaxKept, colours.size());
    EXPECT_LE(list->visualItemRect(list->item(7)).bottom(), list->viewport()->height());
    // The selected run over the others, at full strength; the others faded.
    kept.select(2);
    for (std::size_t r = 0; r < kept.kept().size(); ++r) {
        const TOverlayStyle& style = kept.kept()[r].lines[1]->Style();
        EXPECT_EQ(r == 2, style.Raised);
        EXPECT_EQ(r == 2, style.Alpha == 255);
        EXPECT_EQ(kept.kept()[r].colour, style.Color);
    }
    list->item(1)->setCheckState(Qt::Unchecked);  // as the user's tick
    EXPECT_FALSE(kept.kept()[1].lines[0]->Visible());
    EXPECT_TRUE(kept.kept()[0].lines[0]->Visible());
    kept.set_shown(0, false);
    EXPECT_EQ(Qt::Unchecked, list->item(0)->checkState());
    EXPECT_FALSE(kept.kept()[0].lines[0]->Visible());
    const TColor freed = kept.kept()[0].colour;
    kept.remove(0);
    EXPECT_EQ(KeptRunsSection::kMaxKept - 1, kept.kept().size());
    EXPECT_EQ(overlays - 2, Form1->Chart1->OverlayCount());
    EXPECT_EQ(1, kept.selected());  // the same run, one place up
    speed_run(2);
    EXPECT_EQ(freed, kept.kept().back().colour);

    // Several at once, and the axes fit what is left (a zoom ends).
    ASSERT_TRUE(Form1->Chart1->SetView({0, 10, 0, 10}));
    list->clearSelection();
    list->item(2)->setSelected(true);
    list->item(4)->setSelected(true);
    const int third = kept.kept()[3].number;
    QTest::mouseClick(panel_button("Remove"), Qt::LeftButton);
    EXPECT_EQ(KeptRunsSection::kMaxKept - 2, kept.kept().size());
    EXPECT_EQ(third, kept.kept()[2].number);
    EXPECT_FALSE(Form1->Chart1->UserView());
    EXPECT_TRUE(errors.shown.empty());
}

// The check box is read every pass: a run that changes its mode says so in
// its kept label, and its metrics are those of the passes before the switch.
TEST_F(PanelSections, AModeSwitchDuringARunIsNamedAndEndsItsMetrics) {
    const auto sections = [] {
        std::vector<QRect> places;
        for (const QGroupBox* box : Form1->Analysis->panel()->findChildren<QGroupBox*>()) places.push_back(box->geometry());
        return places;
    };
    QApplication::processEvents();
    const std::vector<QRect> before = sections();
    onPause = [](int n) {
        if (n == 50) click_later(Form1->cbSpeedRegulation);
        if (n == 80) click_later(Form1->Button2);
    };
    click(Form1->Button1);
    const RunRecord& record = Form1->Analysis->record();
    ASSERT_EQ(1u, record.switches().size());
    const auto switchedAt = static_cast<int>(Form1->Series1->XValue(50));  // pass 50 plots in speed mode
    EXPECT_EQ(switchedAt, record.switches()[0].runTime);
    EXPECT_EQ(49, record.metrics().passes);
    EXPECT_FALSE(record.metrics().speedMode);
    EXPECT_TRUE(Form1->Analysis->metrics()->switch_note().contains(QString::number(switchedAt) + " ms"));
    QApplication::processEvents();
    EXPECT_EQ(before, sections());  // the note had its room: nothing below moved

    speed_run(2);  // keeps the switched run
    const std::string at = " at " + std::to_string(switchedAt) + " ms ";
    EXPECT_EQ("#1 position \u2192 speed" + at + "Kp 250 Ki 60 Kd 0 Kv 30", Form1->Analysis->kept_runs()->kept()[0].label);
    // Its legend entry and its row in the table name the switch as the list does.
    EXPECT_EQ("#1 Kp 250 Ki 60 Kd 0 Kv 30, position \u2192 speed" + at.substr(0, at.size() - 1),
              kept_run_name(Form1->Analysis->kept_runs()->kept()[0]));
    EXPECT_EQ("position \u2192 speed" + at.substr(0, at.size() - 1),
              Form1->Analysis->kept_table()->table()->item(1, 1)->text().toStdString());
    EXPECT_TRUE(record.switches().empty());
    EXPECT_TRUE(Form1->Analysis->metrics()->switch_note().isEmpty());
}

TEST_F(PanelSections, SpeedModeDrawsTheSetpointAsADashedLine) {
    Form1->edW->SetText("-60");
    speed_run(7);
    const TChartOverlay* setpoint = nullptr;
    for (std::size_t i = 0; i < Form1->Chart1->OverlayCount(); ++i) {
        if (Form1->Chart1->Overlay(i)->Style().Dashed) setpoint = Form1->Chart1->Overlay(i);
    }
    ASSERT_NE(nullptr, setpoint);
    ASSERT_EQ(Form1->Series2->Count(), setpoint->Count());
    for (std::size_t i = 0; i < setpoint->Count(); ++i) {
        EXPECT_EQ(Form1->Series2->XValue(i), setpoint->XValue(i));
        EXPECT_EQ(-60, setpoint->YValue(i));
    }
}

TEST_F(PanelSections, CursorsFromTheMenuReadTheLastPointAtOrBefore) {
    speed_run(10);
    struct Row {
        double x;
        double expectedPwm;  // Series1 at or before x
    };
    constexpr double kNone = -9999;  // before the first point, beyond the last
    const double last = Form1->Series1->XValue(Form1->Series1->Count() - 1);
    const Row rows[] = {{-1, kNone}, {0, 0}, {5, 248}, {8, 221}, {11.9, 221},
                        {last, Form1->Series1->YValue(10)}, {last + 0.5, kNone}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.x);
        EXPECT_EQ(r.expectedPwm, value_at_or_before(Form1->Series1->Points(), r.x).value_or(kNone));
    }
    const TRect plot = Form1->Chart1->PlotArea();
    for (const char* caption : {AnalysisDock::kCursorACaption, AnalysisDock::kCursorBCaption}) {
        const int x = caption == AnalysisDock::kCursorACaption ? plot.Left + 40 : plot.Left + 200;
        Form1->ChartPopupMenu.SetPopupX(x);
        const auto& items = Form1->ChartPopupMenu.Items();
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].caption == caption) Form1->ChartPopupMenu.Click(i);
        }
    }
    const auto a = Form1->Chart1->Cursor(0);
    const auto b = Form1->Chart1->Cursor(1);
    ASSERT_TRUE(a && b);
    EXPECT_LT(*a, *b);
    EXPECT_EQ(0, std::fmod(*a, 4.0));  // on samples
    const std::string readout = Form1->Analysis->cursors()->readout();
    EXPECT_NE(std::string::npos, readout.find("y (PWM)  A ")) << readout;
    EXPECT_NE(std::string::npos, readout.find("v (IST)  A ")) << readout;
    EXPECT_NE(std::string::npos, readout.find("x (Pos)  A \u2013  B \u2013")) << readout;  // only its start point

    const auto& items = Form1->ChartPopupMenu.Items();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].caption == AnalysisDock::kRemoveCursorsCaption) Form1->ChartPopupMenu.Click(i);
    }
    EXPECT_FALSE(Form1->Chart1->Cursor(0) || Form1->Chart1->Cursor(1));
}

TEST_F(PanelSections, GainFilesLoadWholeOrNotAtAll) {
    const auto dir = std::filesystem::temp_directory_path() / ("vantrel-gains-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string answer;
    const OpenFilePrompt previousOpen = SetOpenFilePrompt([&](const std::string&, const std::string&) { return answer; });
    const SaveFilePrompt previousSave =
        SetSaveFilePrompt([&](const std::string&, const std::string&, const std::string&) { return answer; });

    // Save what the window holds, change everything, load it back.
    Form1->edKd->SetText("7");
    answer = (dir / "saved.ini").string();
    QTest::mouseClick(panel_button("Save gains\u2026"), Qt::LeftButton);
    std::ifstream saved(answer);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}),
              "[gains]\nkd=7\nki=60\nkp=250\nkv=30\npos=20\nspeed_mode=false\nw=80\n");
    for (TLabeledEdit* e : {Form1->edKp, Form1->edKi, Form1->edKd, Form1->edKv, Form1->edW, Form1->edPos}) e->SetText("1");
    click(Form1->cbSpeedRegulation);
    QTest::mouseClick(panel_button("Load gains\u2026"), Qt::LeftButton);
    EXPECT_TRUE(errors.shown.empty());
    EXPECT_EQ("250", Form1->edKp->Text());
    EXPECT_EQ("7", Form1->edKd->Text());
    EXPECT_EQ("30", Form1->edKv->Text());
    EXPECT_FALSE(Form1->cbSpeedRegulation->Checked());
    EXPECT_TRUE(Form1->edKv->Enabled());  // the check box's handler ran

    struct Bad {
        const char* name;
        const char* text;
        const char* error;  // after the file's name
    };
    const Bad bad[] = {
        {"missing key", "[gains]\nkp=1\nki=2\nkd=3\nkv=4\nw=5\nspeed_mode=true\n",
         ":1:1: key pos is missing from [gains]: every one of kp, ki, kd, kv, w, pos and speed_mode is needed"},
        {"out of range", "[gains]\nkp=1\nki=40000\n", ":3:4: key ki: value '40000' is outside -32768 ... 32767"},
        {"given twice", "[gains]\nkp=1\nki=2\nkp=3\n", ":4:1: key kp is given twice: first on line 2"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        answer = (dir / "bad.ini").string();
        std::ofstream(answer) << b.text;
        errors.shown.clear();
        QTest::mouseClick(panel_button("Load gains\u2026"), Qt::LeftButton);
        ASSERT_EQ(1u, errors.shown.size());
        EXPECT_EQ(answer + b.error, errors.shown[0].message);
        EXPECT_EQ("250", Form1->edKp->Text());
        EXPECT_EQ("60", Form1->edKi->Text());
        EXPECT_FALSE(Form1->cbSpeedRegulation->Checked());
    }
    SetOpenFilePrompt(previousOpen);
    SetSaveFilePrompt(previousSave);
    std::filesystem::remove_all(dir);
}
