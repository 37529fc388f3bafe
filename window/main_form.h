#pragma once
// The bench's one window: its controls, click handlers and mode enabling.
#include "analysis/frame/analysis_dock.h"
#include "analysis/live/run_feed.h"
#include "toolkit/app/application.h"
#include "toolkit/chart/chart.h"
#include "toolkit/controls/controls.h"
#include "toolkit/app/form.h"
#include "toolkit/paint/image.h"
#include "toolkit/controls/popup_menu.h"

#include <memory>

class TForm1 : public TForm {
public:
    explicit TForm1(TComponent* owner);

    TPageControl* PageControl1;
    TTabSheet* TabSheet1;
    TPanel* Panel1;
    TButton* Button1;
    TButton* Button2;
    TLabeledEdit* edKp;
    TLabeledEdit* edKi;
    TLabeledEdit* edKd;
    TGroupBox* GroupBox1;
    TLabeledEdit* edKv;
    TLabeledEdit* edW;
    TCheckBox* cbSpeedRegulation;
    TLabeledEdit* edPos;
    TChart* Chart1;
    TLineSeries* Series1;
    TLineSeries* Series2;
    TLineSeries* Series3;
    TLineSeries* Series4;
    TTabSheet* TabSheet2;
    TImage* Image1;
    TPanel* Panel2;
    TButton* btDrawNCPath;
    TStatusBar* StatusBar1;
    TButton* Button3;

    void Button1Click(TObject* Sender);
    void Button2Click(TObject* Sender);
    void cbSpeedRegulationClick(TObject* Sender);
    void btDrawNCPathClick(TObject* Sender);
    void Button3Click(TObject* Sender);

    void update_mode_controls();

    // Keeping what the pages show: right-click menus of the chart and the image.
    TPopupMenu ChartPopupMenu;
    TPopupMenu ImagePopupMenu;
    void ChartExportCsvClick(TObject* Sender);
    void ChartSavePngClick(TObject* Sender);
    void ImageSavePngClick(TObject* Sender);
    void ImageFitPathClick(TObject* Sender);

    // Own NC programs: loading a file, back to the built-in demo, and
    // following "Draw NC Path" point by point.
    TButton* btLoadNCProgram;
    TCheckBox* cbStep;
    TButton* btNextPoint;
    void btLoadNCProgramClick(TObject* Sender);
    void BuiltInProgramClick(TObject* Sender);
    void cbStepClick(TObject* Sender);
    void btNextPointClick(TObject* Sender);
    // The status bar's second panel: the program drawn or chosen (nothing
    // for the demo alone), and where its path leaves the picture.
    void show_program_name();
    void nc_program_chosen();  // a program was chosen: it takes over at the next drawing

    // Ends the running drawings of the NC page (a close does this too).
    TButton* btStop;
    void btStopClick(TObject* Sender);
    void stop_drawings();

    // Beyond the designed window: the regulation run tells its start and
    // passes here, and the analysis panel (closed until opened) listens.
    RunFeed RegulationFeed;
    std::unique_ptr<AnalysisDock> Analysis;

private:
    // The constructor's steps, grouped as the layout groups the controls.
    void build_regulation_page();
    void build_mode_group();
    void build_nc_page();
    void build_status_bar();
    void bind_handlers();
    void build_menus();
};

extern TForm1* Form1;
