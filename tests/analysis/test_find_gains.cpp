// "Find gains": what the search tells read into sets and a front, the
// default ranges, and the section in the window running real searches with
// the answers of `vantrel-trace tune`, Apply and a click on the scatter
// filling the edits without starting a run.
#include "analysis/frame/analysis_panel.h"
#include "analysis/map/gain_map_model.h"
#include "analysis/search/find_gains_scatter.h"
#include "analysis/search/find_gains_section.h"
#include "core/engine/regulation.h"
#include "core/formats/metrics_format.h"
#include "tests/window/window_fixture.h"
#include "toolkit/chart/chart.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <array>
#include <string>

namespace {

GainSearchHit hit(int kp, std::int64_t iae, std::optional<std::int32_t> maxError) {
    GainSearchHit h;
    h.gains = {static_cast<std::int16_t>(kp), 10, 0, 30, 0};
    h.metrics.iae = iae;
    h.metrics.maxFollowingError = maxError;
    return h;
}

}  // namespace

TEST(FindGainsModel, TakesWhatTheSearchTellsAndFindsTheFront) {
    FindGainsModel model;
    model.reset("iae");
    // (max_following_error across, iae up): 3 beats 1 in both; 2 and 5 are on the front, 4 is beaten by 2.
    for (const GainSearchHit& h : {hit(100, 900, -20), hit(110, 500, 30), hit(120, 800, -15), hit(130, 600, 40),
                                   hit(140, 400, 50), hit(150, 400, std::nullopt)}) {  // no max_following_error: never on the front
        model.take_set(h);
    }
    GainSearchProgress progress;
    progress.sets = 5000;
    progress.planned = 20000;
    progress.best = hit(140, 400, 50);
    model.take_progress(progress, "18446744073709551616");
    EXPECT_EQ(model.sets().size(), 6u);
    EXPECT_EQ(model.measured(), 5000u);
    EXPECT_EQ(model.planned(), 20000u);
    EXPECT_EQ(model.box_sets(), "18446744073709551616");  // 2^64: four whole 16-bit ranges
    EXPECT_EQ(model.answer(), FindGainsModel::Answer::Unknown);
    EXPECT_EQ(model.best()->gains.kp, 140);
    EXPECT_EQ(FindGainsModel::value(model.sets()[0], "max_following_error"), 20.0);  // by magnitude
    EXPECT_EQ(model.front("max_following_error", "iae"), (std::vector<std::size_t>{2, 1, 4}));

    GainSearchOutcome outcome;
    outcome.sets = 19000;
    outcome.best = {hit(110, 500, 30)};
    model.take_outcome(outcome);
    EXPECT_EQ(model.answer(), FindGainsModel::Answer::BestFound);
    EXPECT_EQ(model.measured(), 19000u);
    EXPECT_EQ(model.best()->gains.kp, 110);  // the final word is the search's
    EXPECT_EQ(model.best_row(), metrics_csv_row(outcome.best[0].gains, outcome.best[0].metrics));
}

TEST(FindGainsModel, DefaultRangesAreAQuarterToFourTimesTheValue) {
    const std::pair<std::int16_t, const char*> cases[] = {
        {250, "62:1000"}, {30, "7:120"}, {0, "0"}, {-40, "-160:-10"}, {10000, "2500:32767"}, {1, "0:4"},
    };
    for (const auto& [value, range] : cases) EXPECT_EQ(default_gain_range(value), range) << value;
}

TEST(FindGainsModel, ABestSetOnAnEdgeOfItsBoxIsFoundAndItsRangeWidened) {
    const std::array<GainRange, 4> box{GainRange{100, 400, 20}, GainRange{15, 240, 1}, GainRange{0, 50, 5},
                                       GainRange{30, 30, 1}};
    const struct {
        const char* what;
        RegulationGains best;
        std::vector<std::pair<std::size_t, std::string>> edges;  // gain, widened range
    } rows[] = {
        {"inside", {200, 100, 10, 30, 0}, {}},
        {"Ki at the top", {200, 240, 10, 30, 0}, {{1, "15:465:1"}}},
        {"Kp at the last step, Kd at 0", {400, 100, 0, 30, 0}, {{0, "100:700:20"}}},
        {"Kp at the bottom", {100, 100, 50, 30, 0}, {{0, "0:400:20"}, {2, "0:100:5"}}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const std::vector<RangeEdge> edges = range_edges(r.best, box);
        ASSERT_EQ(r.edges.size(), edges.size());
        for (std::size_t i = 0; i < edges.size(); ++i) {
            EXPECT_EQ(r.edges[i].first, edges[i].gain);
            EXPECT_EQ(r.edges[i].second, gain_range_text(edges[i].widened));
        }
    }
    // No room beyond: no edge.
    EXPECT_TRUE(range_edges({32700, 0, 0, 0, 0}, {GainRange{32000, 32767, 100}, {}, {}, {}}).empty());
}

// The best set is tune's, whatever the mode, the program and the limits.
TEST_F(MainWindow, FindGainsAnswersAsTuneThenApplyAndAClickFillTheEditsWithoutARun) {
    show_regulation_page();
    QTest::keyClick(Form1->Widget(), Qt::Key_F9);
    QApplication::processEvents();
    auto* section = dynamic_cast<FindGainsSection*>(Form1->Analysis->panel()->findChild<QWidget*>("findGains"));
    ASSERT_NE(section, nullptr);
    const std::string square = VANTREL_EXAMPLES_DIR "/square.nc";
    const char* names[] = {"kpRange", "kiRange", "kdRange", "kvRange"};
    const struct {
        const char* what;
        bool speed;
        const char* program;
        std::array<const char*, 4> ranges;
        const char* overshootMost;  // a second limit, or none
        bool noWraps;
        std::string tune;
        const char* sets;
    } rows[] = {
        {"speed, 300 passes, overshoot at most 20", true, nullptr, {"100:300:100", "20:60:20", "0", "30"}, "20", false,
         "--mode speed --passes 300 --w 80 --kp 100:300:100 --ki 20:60:20 --kd 0 --kv 30 --max pwm_limit_passes=0 "
         "--max overshoot_pct=20", "9"},
        {"a loaded program, no wraps", false, square.c_str(), {"100:300:100", "40:60:20", "0:10:10", "30"}, nullptr, true,
         "--program " + square + " --kp 100:300:100 --ki 40:60:20 --kd 0:10:10 --kv 30 --max pwm_limit_passes=0 --no-wraps",
         "12"},
        {"the demo", false, nullptr, {"200:260:20", "40:60:10", "0", "30"}, nullptr, false,
         "--kp 200:260:20 --ki 40:60:10 --kd 0 --kv 30 --max pwm_limit_passes=0", "12"},
    };
    QStringList best;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        choose_run(row.speed, row.program);
        section->findChild<QSpinBox*>()->setValue(300);
        for (int g = 0; g < 4; ++g) section->findChild<QLineEdit*>(names[g])->setText(row.ranges[g]);
        auto* second = section->findChild<QComboBox*>("limit1");
        second->setCurrentIndex(row.overshootMost ? second->findData("overshoot_pct") : 0);
        section->findChild<QLineEdit*>("limitValue1")->setText(row.overshootMost ? row.overshootMost : "");
        section->findChild<QCheckBox*>("noWraps")->setChecked(row.noWraps);
        section->start();
        ASSERT_TRUE(section->searching());
        QElapsedTimer clock;
        clock.start();
        while (section->searching() && clock.elapsed() < 30000) QTest::qWait(10);
        ASSERT_FALSE(section->searching()) << section->status_text().toStdString();
        EXPECT_TRUE(section->status_text().startsWith(QString("Exact: every one of the %1 sets measured").arg(row.sets)))
            << section->status_text().toStdString();
        EXPECT_TRUE(section->best_text().startsWith("Exact best: Kp ")) << section->best_text().toStdString();

        QProcess tune;
        tune.start(VANTREL_TRACE_PATH, QStringList{"tune"} + QString::fromStdString(row.tune).split(' '));
        tune.waitForFinished(30000);
        const QStringList lines = QString::fromUtf8(tune.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 2);
        EXPECT_EQ(section->model().best_row(), lines[1].toStdString() + "\n");
        best = lines[1].split(',');
    }

    // Said when the best set lies on an edge of its box, and "Widen" widens that range.
    const auto edges = range_edges(section->model().best()->gains,
                                   {GainRange{200, 260, 20}, GainRange{40, 60, 10}, GainRange{0, 0, 1}, GainRange{30, 30, 1}});
    EXPECT_EQ(edges.empty(), section->edge_text().isEmpty()) << section->edge_text().toStdString();
    if (!edges.empty()) {
        QTest::mouseClick(section->findChild<QPushButton*>("widen"), Qt::LeftButton);
        EXPECT_EQ(gain_range_text(edges[0].widened), section->findChild<QLineEdit*>(names[edges[0].gain])->text().toStdString());
        EXPECT_TRUE(section->edge_text().isEmpty());
    }

    const bool running = regulationRunning;
    const std::size_t points = Form1->Series1->Count();
    Form1->edKp->SetText("1");
    section->apply();
    EXPECT_EQ(Form1->edKp->Text(), best[1].toStdString());
    EXPECT_EQ(Form1->edKi->Text(), best[2].toStdString());
    EXPECT_EQ(Form1->edKv->Text(), best[4].toStdString());

    // A click on a dot of the scatter (on the toolkit's chart) fills the
    // edits with its set and marks it.
    FindGainsScatter* scatter = section->scatter();
    ASSERT_GT(scatter->point_count(), 1u);
    const FoundSet* other = nullptr;
    for (const FoundSet& set : section->model().sets()) {
        if (set.gains.kp != best[1].toInt() || set.gains.ki != best[2].toInt()) other = &set;
    }
    ASSERT_NE(other, nullptr);
    auto* across = section->findChild<QComboBox*>("across");
    EXPECT_EQ(-1, across->findData("iae"));  // the objective is not offered against itself
    const std::string x = across->currentData().toString().toStdString();
    const QPoint at = scatter->to_widget(*FindGainsModel::value(*other, x), *FindGainsModel::value(*other, "iae"));
    Form1->edKp->SetText("1");
    QTest::mouseClick(scatter->chart_widget(), Qt::LeftButton, {}, at);
    // Points may lie close together: whichever was hit lies within reach of the click.
    const RegulationGains filled{std::int16_t(std::stoi(Form1->edKp->Text())), std::int16_t(std::stoi(Form1->edKi->Text())), 0,
                                 std::int16_t(std::stoi(Form1->edKv->Text())), 0};
    bool found = false;
    for (const FoundSet& set : section->model().sets()) {
        if (set.gains.kp != filled.kp || set.gains.ki != filled.ki) continue;
        const QPoint d = scatter->to_widget(*FindGainsModel::value(set, x), *FindGainsModel::value(set, "iae")) - at;
        found = found || d.x() * d.x() + d.y() * d.y() <= 64;
    }
    EXPECT_TRUE(found) << Form1->edKp->Text() << " " << Form1->edKi->Text();
    EXPECT_EQ(1u, scatter->chart().Overlay(4)->Count());  // the picked dot
    const std::string csv = section->scatter_csv();
    EXPECT_EQ(section->model().sets().size() + 1, static_cast<std::size_t>(std::count(csv.begin(), csv.end(), '\n')));
    QApplication::processEvents();
    EXPECT_EQ(regulationRunning, running);  // neither starts a run
    EXPECT_EQ(Form1->Series1->Count(), points);
}
