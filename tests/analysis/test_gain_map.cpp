// The gain map in the analysis panel: filled in this process as its runs
// come, the same table as `vantrel-trace sweep` prints, a click filling the
// edits, a cancelled map, a map that follows the edits, the mode and the program.
#include "analysis/frame/analysis_panel.h"
#include "analysis/map/gain_map_section.h"
#include "analysis/map/gain_map_view.h"
#include "core/engine/regulation.h"
#include "tests/window/window_fixture.h"
#include "toolkit/sys/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// The map made by the Sweep button only, unless `follow`.
GainMapSection* open_gain_map(bool follow = false) {
    QTest::keyClick(Form1->Widget(), Qt::Key_F9);
    QApplication::processEvents();
    auto* section = dynamic_cast<GainMapSection*>(Form1->Analysis->panel()->findChild<QWidget*>("gainMap"));
    if (section) section->findChild<QCheckBox*>("follow")->setChecked(follow);
    return section;
}

void set_axes(GainMapSection* section, int xGain, const char* xRange, int yGain, const char* yRange) {
    section->findChild<QComboBox*>("xGain")->setCurrentIndex(xGain);
    section->findChild<QLineEdit*>("xRange")->setText(xRange);
    section->findChild<QComboBox*>("yGain")->setCurrentIndex(yGain);
    section->findChild<QLineEdit*>("yRange")->setText(yRange);
}

bool wait_until_done(GainMapSection* section) {
    QElapsedTimer clock;
    clock.start();
    while (section->sweeping() && clock.elapsed() < 60000) QTest::qWait(10);
    return !section->sweeping();
}

// Waits until `count` more sweeps have ended.
bool wait_for_ends(GainMapSection* section, int count) {
    int ends = 0;
    section->onSweepEnded = [&ends] { ++ends; };
    QElapsedTimer clock;
    clock.start();
    while (ends < count && clock.elapsed() < 60000) QTest::qWait(5);
    section->onSweepEnded = nullptr;
    return ends == count;
}

// The command line's table of the same sweep.
std::string sweep_output(const QStringList& args) {
    QProcess p;
    p.start(VANTREL_TRACE_PATH, QStringList{"sweep", "--wraps"} + args);
    p.waitForFinished(60000);
    return p.readAllStandardOutput().toStdString();
}

}  // namespace

// Whichever of the two axes runs faster in the grid's order, every cell and
// its grid index find each other.
TEST(GainMapModel, CellsAndGridIndicesMatchForBothAxisOrders) {
    const RegulationGains fixed{250, 60, 5, 30, 80};
    for (const auto& [x, y] : {std::pair{SWEEP_KV, SWEEP_KP}, std::pair{SWEEP_KP, SWEEP_KV}}) {
        SCOPED_TRACE(gain_map_gain_name(x));
        GainMapModel model;
        std::string error;
        ASSERT_TRUE(model.reset(fixed, x, "10:50:10", y, "100:400:100", error)) << error;
        for (std::uint64_t k = 0; k < model.total(); ++k) {
            const GainMapCell cell = model.cell_of(k);
            EXPECT_EQ(k, model.index_of(cell));
            const RegulationGains gains = model.gains_at(cell);
            EXPECT_EQ(10 + 10 * cell.ix, run_gain(gains, x));
            EXPECT_EQ(100 + 100 * cell.iy, run_gain(gains, y));
            EXPECT_EQ(60, gains.ki);
        }
    }
}

TEST(GainMapModel, RangesMoveToHaveTheGainInTheirMiddle) {
    const struct {
        GainRange range;
        std::int32_t value;
        GainRange moved;
    } cases[] = {
        {{0, 600, 20}, 1000, {700, 1300, 20}},
        {{0, 30, 10}, 100, {90, 120, 10}},           // four values: the lower middle
        {{0, 7, 2}, 50, {48, 55, 2}},                // 0, 2, 4, 6: TO off the steps stays so
        {{0, 600, 20}, 250, {0, 600, 20}},           // not below 0 when it began there
        {{-100, 100, 10}, -32760, {-32768, -32568, 10}},
        {{0, 10, 1}, 32767, {32757, 32767, 1}},
        {{5, 5, 1}, 80, {80, 80, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(gain_range_text(c.range) + " around " + std::to_string(c.value));
        const GainRange moved = gain_range_around(c.range, c.value);
        EXPECT_EQ(gain_range_text(moved), gain_range_text(c.moved));
    }
}

// "2.5" typed into Kp is half typed until the edit is left: no map is made
// of the 25 the edit holds meanwhile, one is of the 250 meant.
TEST_F(MainWindow, GainMapWaitsForADecimalToBeRead) {
    show_regulation_page();
    GainMapSection* section = open_gain_map(true);
    ASSERT_NE(section, nullptr);
    set_axes(section, SWEEP_KP, "0:40:10", SWEEP_KI, "0:20:10");
    auto* kp = static_cast<QLineEdit*>(Form1->edKp->Widget());
    kp->clear();
    QTest::keyClicks(kp, "2.5");
    QTest::qWait(30);
    EXPECT_FALSE(section->sweeping());
    EXPECT_TRUE(section->table().empty());
    QTest::keyClick(kp, Qt::Key_Return);
    ASSERT_TRUE(wait_for_ends(section, 1));
    EXPECT_EQ("230:270:10", section->findChild<QLineEdit*>("xRange")->text());
}

// The map's table is the sweep's, whatever the mode, the program and the axes.
TEST_F(MainWindow, GainMapsEqualTheSweepsOfTheCommandLine) {
    show_regulation_page();
    GainMapSection* section = open_gain_map();
    ASSERT_NE(section, nullptr);
    Form1->edKd->SetText("5");
    const std::string square = VANTREL_EXAMPLES_DIR "/square.nc";
    const struct {
        const char* what;
        bool speed;
        const char* program;  // position mode: none for the demo
        int x;
        const char* xRange;
        int y;
        const char* yRange;
        QStringList args;
        const char* shows;
    } rows[] = {
        {"speed, 300 passes", true, nullptr, SWEEP_KP, "100:400:100", SWEEP_KI, "0:90:30",
         {"--mode", "speed", "--passes", "300", "--kp", "100:400:100", "--ki", "0:90:30", "--kd", "5", "--kv", "30", "--w", "80"},
         "Speed mode, 300 passes each"},
        {"the demo, Kv across faster than Kp", false, nullptr, SWEEP_KV, "10:50:10", SWEEP_KP, "100:400:100",
         {"--mode", "position", "--kp", "100:400:100", "--ki", "60", "--kd", "5", "--kv", "10:50:10", "--w", "80"},
         "Position mode, the built-in program"},
        {"a loaded program", false, square.c_str(), SWEEP_KD, "0:20:5", SWEEP_KP, "50:30000:9950",
         {"--mode", "position", "--program", QString::fromStdString(square), "--kp", "50:30000:9950", "--ki", "60", "--kd",
          "0:20:5", "--kv", "30", "--w", "80"},
         "Position mode, square.nc"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        choose_run(row.speed, row.program);
        section->findChild<QSpinBox*>()->setValue(300);
        set_axes(section, row.x, row.xRange, row.y, row.yRange);
        section->start_sweep();
        ASSERT_TRUE(section->sweeping());
        ASSERT_TRUE(wait_until_done(section)) << section->status_text().toStdString();
        EXPECT_EQ(row.shows, section->shows_text());
        EXPECT_EQ(section->table(), sweep_output(row.args));
        EXPECT_EQ(section->view()->filled(), static_cast<int>(section->model().total()));
    }
}

// Edits, the mode and the program remake the map around the gains at once,
// a newer change drops the map being made, and the colours stay until
// Rescale or a switch of the mode.
TEST_F(MainWindow, GainMapFollowsTheEditsTheModeAndTheProgram) {
    show_regulation_page();
    GainMapSection* section = open_gain_map(true);
    ASSERT_NE(section, nullptr);
    set_axes(section, SWEEP_KP, "0:40:10", SWEEP_KI, "0:20:10");
    Form1->edKp->SetText("100");
    Form1->edKi->SetText("30");  // one map for both
    ASSERT_TRUE(wait_for_ends(section, 1));
    EXPECT_EQ(section->findChild<QLineEdit*>("xRange")->text(), "80:120:10");
    EXPECT_EQ(section->findChild<QLineEdit*>("yRange")->text(), "20:40:10");
    EXPECT_EQ(section->table(), sweep_output({"--mode", "position", "--kp", "80:120:10", "--ki", "20:40:10", "--kd", "0",
                                              "--kv", "30", "--w", "80"}));
    const auto scale = section->view()->scale();

    Form1->edKp->SetText("2000");  // far worse gains: their map alone would scale otherwise
    ASSERT_TRUE(wait_for_ends(section, 1));
    EXPECT_EQ(section->findChild<QLineEdit*>("xRange")->text(), "1980:2020:10");
    EXPECT_EQ(section->view()->scale(), scale);
    EXPECT_TRUE(section->view()->scale_held());
    QTest::mouseClick(section->findChild<QPushButton*>("rescale"), Qt::LeftButton);
    EXPECT_FALSE(section->view()->scale_held());
    EXPECT_NE(section->view()->scale(), scale);

    // A program load: a map of it, the same cells.
    const OpenFilePrompt previous = SetOpenFilePrompt([](auto&&...) { return std::string(VANTREL_EXAMPLES_DIR "/square.nc"); });
    Form1->btLoadNCProgramClick(nullptr);
    SetOpenFilePrompt(previous);
    ASSERT_TRUE(wait_for_ends(section, 1));
    EXPECT_EQ("Position mode, square.nc", section->shows_text());
    EXPECT_EQ(section->findChild<QLineEdit*>("xRange")->text(), "1980:2020:10");

    // A change while a map is made: only the newer one ends, and it alone
    // fills the map, its scale fitted to the speed mode's values.
    set_axes(section, SWEEP_KP, "0:990:10", SWEEP_KI, "0:255:1");
    Form1->edKi->SetText("250");
    QElapsedTimer clock;
    clock.start();
    while (!section->sweeping() && clock.elapsed() < 5000) QTest::qWait(1);
    ASSERT_TRUE(section->sweeping());
    click(Form1->cbSpeedRegulation);
    ASSERT_TRUE(wait_for_ends(section, 1));
    EXPECT_EQ("Speed mode, 500 passes each", section->shows_text()) << section->status_text().toStdString();
    EXPECT_FALSE(section->view()->scale_held());
    EXPECT_TRUE(section->table() == sweep_output({"--mode", "speed", "--passes", "500", "--kp", "1510:2500:10", "--ki",
                                                  "123:378:1", "--kd", "0", "--kv", "30", "--w", "80"}))
        << section->status_text().toStdString() << " " << section->table().size();
    QTest::qWait(50);
    EXPECT_FALSE(section->sweeping());  // nothing more came
}

TEST_F(MainWindow, GainMapCellClickFillsTheEditsAndTheMapIsSaved) {
    show_regulation_page();
    GainMapSection* section = open_gain_map();
    ASSERT_NE(section, nullptr);
    Form1->edKd->SetText("5");
    // Kv across, Kp up: Kv comes later in the grid's order, so it runs faster.
    set_axes(section, SWEEP_KV, "10:50:10", SWEEP_KP, "100:400:100");
    section->start_sweep();
    ASSERT_TRUE(wait_until_done(section)) << section->status_text().toStdString();

    // The cell of Kv 40, Kp 200 (column 3, row 1 from the bottom).
    const QRect plot = section->view()->plot_rect();
    const QPoint cell(plot.left() + plot.width() * 7 / 10, plot.bottom() - plot.height() * 3 / 8);
    int ix = -1, iy = -1;
    ASSERT_TRUE(section->view()->cell_at(cell, ix, iy));
    EXPECT_EQ(ix, 3);
    EXPECT_EQ(iy, 1);
    const std::size_t points = Form1->Series1->Count();
    const bool running = regulationRunning;  // a finished position run leaves the flag as it was
    QTest::mouseClick(section->view(), Qt::LeftButton, {}, cell);
    EXPECT_EQ(Form1->edKp->Text(), "200");
    EXPECT_EQ(Form1->edKv->Text(), "40");
    EXPECT_EQ(Form1->edKi->Text(), "60");
    EXPECT_EQ(Form1->edKd->Text(), "5");
    EXPECT_EQ(Form1->edW->Text(), "80");
    QApplication::processEvents();
    EXPECT_EQ(regulationRunning, running);  // the click starts nothing
    EXPECT_EQ(Form1->Series1->Count(), points);

    // The picture and the table, saved where the prompt says.
    const auto dir = std::filesystem::temp_directory_path() / ("vantrel-gain-map-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (const char* name : {"map.png", "map.csv"}) {
        SCOPED_TRACE(name);
        const SaveFilePrompt previous = SetSaveFilePrompt([&](auto&&...) { return (dir / name).string(); });
        const QString caption = std::string(name) == "map.png" ? "Save PNG…" : "Save CSV…";
        for (QPushButton* b : section->findChildren<QPushButton*>()) {
            if (b->text() == caption) QTest::mouseClick(b, Qt::LeftButton);
        }
        SetSaveFilePrompt(previous);
    }
    const QImage picture(QString::fromStdString((dir / "map.png").string()));
    EXPECT_EQ(picture.size(), section->view()->size());
    std::stringstream csv;
    csv << std::ifstream(dir / "map.csv").rdbuf();
    EXPECT_EQ(csv.str(), section->table());
    std::filesystem::remove_all(dir);
}

// Kp 100 runs clean, Kp 30000 wraps: with "Wraps" on the map tells them
// apart, and still does in another colour metric.
TEST_F(MainWindow, GainMapOutlinesTheCellsWhoseRunWraps) {
    show_regulation_page();
    GainMapSection* section = open_gain_map();
    ASSERT_NE(section, nullptr);
    set_axes(section, SWEEP_KV, "30", SWEEP_KP, "100:30000:29900");
    section->view()->set_show_wraps(true);
    section->start_sweep();
    ASSERT_TRUE(wait_until_done(section)) << section->status_text().toStdString();
    for (int metric : {2, 0}) {
        section->findChild<QComboBox*>("metric")->setCurrentIndex(metric);
        EXPECT_FALSE(section->view()->cell_wraps(0, 0));
        EXPECT_TRUE(section->view()->cell_wraps(0, 1));
    }
}

TEST_F(MainWindow, GainMapRefusesBadAxesAndCancelsAtOnce) {
    show_regulation_page();
    GainMapSection* section = open_gain_map();
    ASSERT_NE(section, nullptr);
    const struct {
        int xGain;
        const char* xRange;
        int yGain;
        const char* yRange;
        const char* message;
    } refused[] = {
        {SWEEP_KP, "0:10:1", SWEEP_KP, "0:10:1", "two different gains"},
        {SWEEP_KP, "0:10:0", SWEEP_KI, "0:10:1", "STEP must be above 0"},
        {SWEEP_KP, "-32768:32767:1", SWEEP_KI, "0:1000:1", "more than the"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.message);
        set_axes(section, c.xGain, c.xRange, c.yGain, c.yRange);
        section->start_sweep();
        EXPECT_FALSE(section->sweeping());
        EXPECT_TRUE(section->status_text().contains(c.message)) << section->status_text().toStdString();
    }

    // Cancelled as its first cells come: the map keeps those and takes no
    // more, the section is done at the click, and the map's threads go.
    click(Form1->cbSpeedRegulation);
    set_axes(section, SWEEP_KP, "0:511:1", SWEEP_KI, "0:511:1");
    section->start_sweep();
    ASSERT_TRUE(section->sweeping());
    while (section->sweeping() && section->view()->filled() == 0) QTest::qWait(1);
    ASSERT_TRUE(section->sweeping());
    const int taken = section->view()->filled();
    section->cancel_sweep();
    EXPECT_FALSE(section->sweeping());
    EXPECT_EQ(QString("Cancelled after %1 of 262144 gain sets.").arg(taken), section->status_text());
    QElapsedTimer clock;
    clock.start();
    while (section->job_threads() > 0 && clock.elapsed() < 10000) QTest::qWait(5);
    EXPECT_EQ(0u, section->job_threads());
    QTest::qWait(20);
    EXPECT_EQ(taken, section->view()->filled());
}

TEST_F(MainWindow, GainMapSweepLeavesARunningRegulationAlone) {
    show_regulation_page();
    click(Form1->Button1);  // a position run to the program's end, undisturbed
    const std::vector<double> reference = ys(Form1->Series3);
    ASSERT_GT(reference.size(), 100u);

    GainMapSection* section = open_gain_map();
    ASSERT_NE(section, nullptr);
    set_axes(section, SWEEP_KP, "0:190:10", SWEEP_KI, "0:90:10");
    section->start_sweep();
    ASSERT_TRUE(section->sweeping());
    int rowsDuringRun = 0;
    onPause = [&](int) {
        QTest::qWait(3);  // the run's pause, with the sweep's rows arriving meanwhile
        rowsDuringRun = section->view()->filled();
    };
    click(Form1->Button1);
    EXPECT_EQ(ys(Form1->Series3), reference);
    ASSERT_TRUE(wait_until_done(section));
    EXPECT_EQ(section->view()->filled(), 20 * 10);
    RecordProperty("rows_during_run", rowsDuringRun);
}

// The colour bar says values it really has at those heights, never twice the
// same text; the axes step in 1-2-5; the best cell is the lowest.
TEST(GainMapView, TheBarAndAxesAreLabelledTrulyAndTheBestCellIsMarked) {
    struct Row {
        const char* name;
        double low, high;
        std::size_t least;  // labels at least, the ends included
    };
    const Row rows[] = {{"one value", 42, 42, 1},       {"close ends", 4214.2, 4214.24, 2}, {"decades", 3, 250000, 4},
                        {"small", 0.5, 7, 4},           {"a narrow scale", 4508, 5200, 4}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        GainMapView view;
        view.resize(320, 300);
        view.reset({"Kp", 100, 50, 5}, {"Kv", 10, 10, 4}, "IAE");
        EXPECT_EQ("IAE", view.bar_title());  // nothing dangles before there are values
        EXPECT_FALSE(view.best_cell());
        for (int iy = 0; iy < 4; ++iy) {
            for (int ix = 0; ix < 5; ++ix) view.set_cell(ix, iy, row.high - (row.high - row.low) * (ix + iy) / 7.0);
        }
        EXPECT_EQ("IAE, log scale", view.bar_title());
        EXPECT_EQ(row.low == row.high ? QPoint(0, 0) : QPoint(4, 3), view.best_cell().value_or(QPoint(-1, -1)));  // the first on a tie
        const auto labels = view.bar_labels();
        ASSERT_GE(labels.size(), row.least);
        EXPECT_EQ(row.high, labels.front().value);
        EXPECT_EQ(row.low, labels.back().value);
        for (std::size_t i = 0; i < labels.size(); ++i) {
            SCOPED_TRACE(labels[i].text.toStdString());
            QString text = labels[i].text;
            const double unit = text.endsWith('k') ? 1e3 : text.endsWith('M') ? 1e6 : 1;
            if (unit != 1) text.chop(1);
            EXPECT_NEAR(labels[i].value, text.toDouble() * unit, std::abs(labels[i].value) * 1e-4);
            // Whole within the bar's height and in the room beside it.
            EXPECT_GE(labels[i].top, view.plot_rect().top());
            EXPECT_LE(labels[i].top + view.fontMetrics().height(), view.plot_rect().bottom() + 1);
            EXPECT_LE(view.fontMetrics().horizontalAdvance(labels[i].text), view.label_room());
            if (i == 0) continue;
            EXPECT_NE(labels[i - 1].text, labels[i].text);
            EXPECT_LT(labels[i - 1].y, labels[i].y);
            EXPECT_GT(labels[i - 1].value, labels[i].value);
        }
        for (bool y : {false, true}) {
            const auto ticks = view.axis_ticks(y);
            ASSERT_GE(ticks.size(), 2u);
            const int step = ticks[1] - ticks[0];
            int mantissa = step;
            while (mantissa % 10 == 0) mantissa /= 10;
            EXPECT_TRUE(mantissa == 1 || mantissa == 2 || mantissa == 5) << step;
            EXPECT_GE(ticks.front(), y ? 10 : 100);
            EXPECT_LE(ticks.back(), y ? 40 : 300);
        }
    }
}

// Enlarged, the map's own button takes it back; so does closing its window.
TEST_F(MainWindow, TheEnlargedGainMapHasAWindowOfItsOwnAndComesBack) {
    show_regulation_page();
    GainMapSection* section = open_gain_map();
    ASSERT_NE(section, nullptr);
    GainMapView* view = section->view();
    const auto button = [view](const char* text) {
        for (auto* b : view->findChildren<QToolButton*>()) {
            if (b->text() == text) return b;
        }
        return static_cast<QToolButton*>(nullptr);
    };
    for (const bool byButton : {true, false}) {
        SCOPED_TRACE(byButton ? "Return" : "closed");
        QTest::mouseClick(button("Enlarge"), Qt::LeftButton);
        ASSERT_NE(nullptr, view->enlarged_window());
        EXPECT_EQ(view->enlarged_window(), view->window());
        ASSERT_NE(nullptr, button("Return"));
        if (byButton) QTest::mouseClick(button("Return"), Qt::LeftButton);
        else view->enlarged_window()->close();
        EXPECT_EQ(nullptr, view->enlarged_window());
        EXPECT_EQ(section, view->parentWidget());
        EXPECT_TRUE(view->isVisibleTo(section));
        EXPECT_NE(nullptr, button("Enlarge"));
    }
}

// A map that follows keeps the one before in its picture until its own
// cells cover it; a map made afresh starts white.
TEST(GainMapView, AFollowingMapKeepsThePictureBeforeUntilItsCellsCome) {
    GainMapView view;
    view.resize(320, 300);
    const auto centre = [&view] { return view.grab().toImage().pixel(view.plot_rect().center()); };
    const QRgb white = qRgb(255, 255, 255);
    view.reset({"Kp", 0, 1, 2}, {"Ki", 0, 1, 2}, "IAE");
    EXPECT_EQ(white, centre());
    for (int i = 0; i < 4; ++i) view.set_cell(i % 2, i / 2, 10.0 + i);
    const QRgb shown = centre();
    EXPECT_NE(white, shown);
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "follows" : "afresh");
        view.reset({"Kp", 10, 1, 4}, {"Ki", 10, 1, 4}, "IAE", keep);
        EXPECT_EQ(keep, view.keeps_picture());
        EXPECT_EQ(keep ? shown : white, centre());
    }
    view.reset({"Kp", 10, 1, 4}, {"Ki", 10, 1, 4}, "IAE");
    for (int i = 0; i < 4; ++i) view.set_cell(i % 2, i / 2, 10.0 + i);
    view.reset({"Kp", 0, 1, 2}, {"Ki", 0, 1, 2}, "IAE", true);
    for (int i = 0; i < 4; ++i) view.set_cell(i % 2, i / 2, 10.0);
    EXPECT_FALSE(view.keeps_picture());  // covered
}
