// Saving what the pages show, from the right-click menus.
#include "window/exports.h"

#include "analysis/frame/analysis_dock.h"
#include "core/formats/csv.h"
#include "toolkit/sys/dialogs.h"
#include "toolkit/sys/files.h"
#include "window/main_form.h"

#include <vector>

std::string chart_csv() {
    const TLineSeries* all[] = {Form1->Series1, Form1->Series2, Form1->Series3, Form1->Series4};
    std::vector<SeriesPoints> series;
    for (const TLineSeries* s : all) {
        series.push_back({s->Count(), [s](std::size_t i) { return s->XValue(i); },
                          [s](std::size_t i) { return s->YValue(i); }});
    }
    // Named as the legend names them now ("y (PWM)", "v (IST)", ...).
    std::vector<std::string> names = {"time"};
    for (const TLineSeries* s : all) names.push_back(s->Title());
    // Kept runs follow, oldest first, named by run and series
    // ("#3 Kp 100 Ki 10 Kd 0 w 80: y (PWM)").
    for (const AnalysisDock::KeptLine& kept : Form1->Analysis->kept_lines()) {
        const TChartOverlay* line = kept.line;
        names.push_back(kept.name);
        series.push_back({line->Count(), [line](std::size_t i) { return line->XValue(i); },
                          [line](std::size_t i) { return line->YValue(i); }});
    }
    std::string text;
    const std::vector<std::string_view> header(names.begin(), names.end());
    csv_append_header(text, header);
    std::vector<std::optional<double>> row;
    csv_merge_series(series, [&](double time, std::span<const std::optional<double>> cells) {
        row.assign(1, time);
        row.insert(row.end(), cells.begin(), cells.end());
        csv_append_row(text, row);
    });
    return text;
}

void TForm1::ChartExportCsvClick(TObject*) {
    const std::string path = PromptSaveFileName("Export data as CSV", "CSV files (*.csv)", "regulation.csv");
    if (!path.empty()) SaveTextFile(path, chart_csv());
}

void TForm1::ChartSavePngClick(TObject*) {
    const std::string path = PromptSaveFileName("Save chart as PNG", "PNG images (*.png)", "chart.png");
    if (!path.empty()) SavePngFile(*Chart1, path);
}

void TForm1::ImageSavePngClick(TObject*) {
    const std::string path = PromptSaveFileName("Save image as PNG", "PNG images (*.png)", "nc-tests.png");
    if (!path.empty()) SavePngFile(*Image1->Canvas(), path);
}
