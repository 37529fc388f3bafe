// "Find gains": the stream read into sets and a front, the default ranges, and
// the section in the window running a real search, Apply and a click on the
// scatter filling the edits without starting a run.
#include "analysis/frame/analysis_panel.h"
#include "analysis/map/gain_map_model.h"
#include "analysis/search/find_gains_scatter.h"
#include "analysis/search/find_gains_section.h"
#include "core/engine/regulation.h"
#include "tests/window/window_fixture.h"
#include "toolkit/chart/chart.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>

#include <algorithm>
#include <string>

namespace {

std::string row(int kp, int ki, const char* iae, const char* maxError) {
    // position,kp,ki,kd,kv,w,passes,rise..steady (6 empty),max_following_error,ms,rms,final,iae,pwm,
    // limit cycle (2 empty)
    return "position," + std::to_string(kp) + "," + std::to_string(ki) + ",0,30,,195,,,,,,," + maxError +
           ",400,1.5,0," + iae + ",0,,";
}

}  // namespace

TEST(FindGainsModel, ReadsTheStreamAndFindsTheFront) {
    FindGainsModel model;
    model.reset("iae");
    // (max_following_error across, iae up): 3 beats 1 in both; 2 and 5 are on the front, 4 is beaten by 2.
    const std::string lines[] = {
        "kind,mode,kp,ki,kd,kv,w,passes,...",
        "set," + row(100, 10, "900", "-20"),
        "set," + row(110, 10, "500", "30"),
        "set," + row(120, 10, "800", "-15"),
        "progress,5000,20000,18446744073709551616",
        "set," + row(130, 10, "600", "40"),
        "set," + row(140, 10, "400", "50"),
        "set," + row(150, 10, "400", ""),  // no max_following_error: never on the front
    };
    for (const std::string& line : lines) EXPECT_TRUE(model.take_line(line)) << line;
    EXPECT_FALSE(model.take_line("vantrel-trace: something else"));
    EXPECT_EQ(model.sets().size(), 6u);
    EXPECT_EQ(model.measured(), 5000u);
    EXPECT_EQ(model.planned(), 20000u);
    EXPECT_EQ(model.box_sets(), "18446744073709551616");  // 2^64: four whole 16-bit ranges
    EXPECT_EQ(model.answer(), FindGainsModel::Answer::Unknown);
    EXPECT_EQ(model.best()->gains.kp, 140);  // iae 400, the smaller kp of the tie
    EXPECT_EQ(FindGainsModel::value(model.sets()[0], "max_following_error"), 20.0);  // by magnitude
    EXPECT_EQ(model.front("max_following_error", "iae"), (std::vector<std::size_t>{2, 1, 4}));

    EXPECT_FALSE(model.take_line("progress,5000"));
    EXPECT_TRUE(model.take_line("answer,best found,19000,18446744073709551616"));
    EXPECT_EQ(model.answer(), FindGainsModel::Answer::BestFound);
    EXPECT_EQ(model.measured(), 19000u);
    EXPECT_TRUE(model.take_line("best," + row(110, 10, "500", "30")));
    EXPECT_EQ(model.best()->gains.kp, 110);  // the final word is the search's
    EXPECT_EQ(model.final_rows().size(), 1u);
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

TEST_F(MainWindow, FindGainsSearchesThenApplyAndAClickFillTheEditsWithoutARun) {
    show_regulation_page();
    QTest::keyClick(Form1->Widget(), Qt::Key_F9);
    QApplication::processEvents();
    auto* section = dynamic_cast<FindGainsSection*>(Form1->Analysis->panel()->findChild<QWidget*>("findGains"));
    ASSERT_NE(section, nullptr);
    section->set_trace_program(VANTREL_TRACE_PATH);
    const char* ranges[] = {"200:260:20", "40:60:10", "0", "30"};
    const char* names[] = {"kpRange", "kiRange", "kdRange", "kvRange"};
    for (int g = 0; g < 4; ++g) section->findChild<QLineEdit*>(names[g])->setText(ranges[g]);
    section->findChild<QCheckBox*>("noWraps")->setChecked(false);
    section->start();
    ASSERT_TRUE(section->searching());
    QElapsedTimer clock;
    clock.start();
    while (section->searching() && clock.elapsed() < 30000) QTest::qWait(10);
    ASSERT_FALSE(section->searching()) << section->status_text().toStdString();
    EXPECT_TRUE(section->status_text().startsWith("Exact: every one of the 12 sets measured")) << section->status_text().toStdString();
    EXPECT_TRUE(section->best_text().startsWith("Exact best: Kp ")) << section->best_text().toStdString();

    // The same best set as the command line's.
    QProcess tune;
    tune.start(VANTREL_TRACE_PATH, {"tune", "--kp", "200:260:20", "--ki", "40:60:10", "--kd", "0", "--kv", "30", "--max",
                                    "pwm_limit_passes=0"});
    tune.waitForFinished(30000);
    const QStringList rows = QString::fromUtf8(tune.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(section->model().best_row(), rows[1].toStdString());
    const QStringList best = rows[1].split(',');

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
