#include "window/main_form.h"

#include "core/engine/module.h"
#include "core/measure/gain_set.h"

#include <string>

TForm1* Form1 = nullptr;

namespace {

TButton* make_button(TForm1* form, TWinControl* parent, int left, int top, int width, int tabOrder,
                     const char* caption) {
    auto* button = new TButton(form, parent);
    button->SetBounds(left, top, width, 25);
    button->SetTabOrder(tabOrder);
    button->SetCaption(caption);
    return button;
}

// Every edit of the window: 57 x 21, digits only, label on its left.
TLabeledEdit* make_edit(TForm1* form, TWinControl* parent, int left, int top, int tabOrder, const char* label,
                        std::int16_t value, const char* hint) {
    auto* edit = new TLabeledEdit(form, parent);
    edit->SetBounds(left, top, 57, 21);
    edit->SetTabOrder(tabOrder);
    edit->SetLabelCaption(label);
    edit->SetText(std::to_string(value));
    edit->SetHint(hint);
    edit->SetNumbersOnly(true);
    return edit;
}

}  // namespace

TForm1::TForm1(TComponent* owner) : TForm(owner) {
    SetCaption("Vantrel parameters and integrator");
    SetPosition(100, 200);
    SetClientSize(668, 468);
    SetFont("Tahoma", -11);

    PageControl1 = new TPageControl(this, this);
    PageControl1->SetBounds(0, 0, 668, 449);
    PageControl1->SetAlign(alClient);
    PageControl1->SetTabOrder(0);
    build_regulation_page();
    build_nc_page();
    build_status_bar();
    PageControl1->SetActivePage(TabSheet2);

    bind_handlers();
    build_menus();
    Analysis = std::make_unique<AnalysisDock>(AnalysisHost{this, Chart1, &ChartPopupMenu, &RegulationFeed, edKp, edKi,
                                                           edKd, edKv, edW, edPos, cbSpeedRegulation, TabSheet1});

    // A close during a regulation run ends the run as "Regelung aus" would
    // (a speed-mode run has no end of its own), and a close during a drawing
    // ends it as "Stop" would (a long program draws for minutes); the window
    // then closes once the handlers have returned.
    OnCloseHeldBack = [] {
        if (regulationRunning) stop_regulation();
        Form1->stop_drawings();
    };

    update_mode_controls();
    Analysis->restore();  // the designed window, unless the panel was left open
}

// "Regelung Tests": the controls of a run above its chart.
void TForm1::build_regulation_page() {
    TabSheet1 = new TTabSheet(this, PageControl1);
    TabSheet1->SetCaption("Regelung Tests");

    Panel1 = new TPanel(this, TabSheet1);
    Panel1->SetBounds(0, 0, 660, 112);
    Panel1->SetAlign(alTop);
    Panel1->SetTabOrder(0);

    Button1 = make_button(this, Panel1, 8, 8, 89, 0, "Regelung an");
    Button2 = make_button(this, Panel1, 120, 8, 89, 1, "Regelung aus");
    edKp = make_edit(this, Panel1, 256, 21, 2, "Kp", GAIN_SET_INITIAL.kp, "Proportional factor");
    edKi = make_edit(this, Panel1, 256, 48, 3, "Ki", GAIN_SET_INITIAL.ki, "Integral factor");
    edKd = make_edit(this, Panel1, 256, 75, 4, "Kd", GAIN_SET_INITIAL.kd, "Differential factor");
    build_mode_group();

    Chart1 = Own(new TChart(TabSheet1->Widget()));
    TabSheet1->Place(Chart1, 0, 112, 660, 309, alClient);
    Chart1->SetTitle("TChart");
    Chart1->SetBottomAxisTitle("[ms]");
    Chart1->SetBottomAxisIncrement(4);
    Series1 = Chart1->AddSeries("y (PWM)", 3);
    Series2 = Chart1->AddSeries("x (Speed)", 3, clNavy);
    Series3 = Chart1->AddSeries("x (Pos)", 5);
    Series4 = Chart1->AddSeries("x (SollPos)", 4);
}

// The group box of the mode and the position loop, inside Panel1.
void TForm1::build_mode_group() {
    GroupBox1 = new TGroupBox(this, Panel1);
    GroupBox1->SetBounds(336, 8, 185, 98);
    GroupBox1->SetTabOrder(5);
    GroupBox1->SetCaption("GroupBox1");

    edKv = make_edit(this, GroupBox1, 24, 38, 0, "Kv", GAIN_SET_INITIAL.kv, "Proportional factor");
    edW = make_edit(this, GroupBox1, 24, 65, 1, "w", GAIN_SET_INITIAL.w, "Speed to regulate (0,100)");

    cbSpeedRegulation = new TCheckBox(this, GroupBox1);
    cbSpeedRegulation->SetBounds(3, 15, 97, 17);
    cbSpeedRegulation->SetTabOrder(2);
    cbSpeedRegulation->SetCaption("Speed Regelung");
    cbSpeedRegulation->SetChecked(GAIN_SET_INITIAL.speedMode);

    edPos = make_edit(this, GroupBox1, 117, 38, 3, "Pos", GAIN_SET_INITIAL.pos, "Proportional factor");
}

// "NC Tests": the buttons above the image the drawings go on, and beyond the
// designed buttons those of own programs and of stepping.
void TForm1::build_nc_page() {
    TabSheet2 = new TTabSheet(this, PageControl1);
    TabSheet2->SetCaption("NC Tests");

    Image1 = Own(new TImage(TabSheet2->Widget()));
    TabSheet2->Place(Image1, 0, 41, 660, 380, alClient);

    Panel2 = new TPanel(this, TabSheet2);
    Panel2->SetBounds(0, 0, 660, 41);
    Panel2->SetAlign(alTop);
    Panel2->SetTabOrder(0);

    btDrawNCPath = make_button(this, Panel2, 8, 10, 97, 0, "Draw NC Path");
    Button3 = make_button(this, Panel2, 320, 10, 75, 1, "Circle test");
    // In the free room between the two designed buttons; open while a drawing runs.
    btStop = make_button(this, Panel2, 113, 10, 60, 5, "Stop");
    btStop->SetEnabled(false);
    btLoadNCProgram = make_button(this, Panel2, 404, 10, 105, 2, "Load NC program\u2026");
    cbStep = new TCheckBox(this, Panel2);
    cbStep->SetBounds(517, 14, 45, 17);
    cbStep->SetTabOrder(3);
    cbStep->SetCaption("Step");
    btNextPoint = make_button(this, Panel2, 568, 10, 80, 4, "Next point");
    btNextPoint->SetEnabled(false);
}

void TForm1::build_status_bar() {
    StatusBar1 = new TStatusBar(this, this);
    StatusBar1->SetBounds(0, 449, 668, 19);
    StatusBar1->SetAlign(alBottom);
    StatusBar1->AddPanel(150);
    StatusBar1->AddPanel(50);
    StatusBar1->Panels(1)->SetFitText();  // a program's name may need more room
}

void TForm1::bind_handlers() {
    Button1->OnClick = Bind(this, &TForm1::Button1Click);
    Button2->OnClick = Bind(this, &TForm1::Button2Click);
    cbSpeedRegulation->OnClick = Bind(this, &TForm1::cbSpeedRegulationClick);
    btDrawNCPath->OnClick = Bind(this, &TForm1::btDrawNCPathClick);
    Button3->OnClick = Bind(this, &TForm1::Button3Click);
    btLoadNCProgram->OnClick = Bind(this, &TForm1::btLoadNCProgramClick);
    cbStep->OnClick = Bind(this, &TForm1::cbStepClick);
    btNextPoint->OnClick = Bind(this, &TForm1::btNextPointClick);
    btStop->OnClick = Bind(this, &TForm1::btStopClick);
    // The digits-only gain edits take "2.5" as 25: a decimal point typed
    // into one says how gains are written.
    for (TLabeledEdit* gain : {edKp, edKi, edKd, edKv}) {
        gain->OnRefused = [gain](const std::string& typed) {
            if (typed == "." || typed == ",") gain->ShowNote("Gains are whole hundredths: 250 = 2.5");
        };
    }
    TabSheet2->AddShortcut("Right", Bind(this, &TForm1::btNextPointClick));
}

// The right-click menus of the chart and the image.
void TForm1::build_menus() {
    ChartPopupMenu.AddItem("Export data as CSV...", Bind(this, &TForm1::ChartExportCsvClick));
    ChartPopupMenu.AddItem("Save chart as PNG...", Bind(this, &TForm1::ChartSavePngClick));
    Chart1->SetPopupMenu(&ChartPopupMenu);
    ImagePopupMenu.AddItem("Save image as PNG...", Bind(this, &TForm1::ImageSavePngClick));
    ImagePopupMenu.AddItem("Load NC program\u2026", Bind(this, &TForm1::btLoadNCProgramClick));
    ImagePopupMenu.AddItem("Built-in program", Bind(this, &TForm1::BuiltInProgramClick));
    ImagePopupMenu.AddItem("Fit path", Bind(this, &TForm1::ImageFitPathClick));
    Image1->SetPopupMenu(&ImagePopupMenu);
}

void TForm1::cbSpeedRegulationClick(TObject*) { update_mode_controls(); }

void TForm1::update_mode_controls() {
    edKv->SetEnabled(!cbSpeedRegulation->Checked());
    edPos->SetEnabled(!cbSpeedRegulation->Checked());
    edW->SetEnabled(cbSpeedRegulation->Checked());
}
