// The "NC Tests" page: plot primitives, circle test and NC path plot.
// (Placeholder until the drawing lands.)
#include "window/drawing.h"
#include "window/main_form.h"

void plot_point(int, int) {}
void plot_scaled(int, int, int) {}
void draw_circle(int, int, int) {}
void draw_arc(std::int16_t, std::int16_t, std::int16_t, std::int16_t, std::int16_t, std::int16_t) {}

void TForm1::btDrawNCPathClick(TObject*) {}
void TForm1::Button3Click(TObject*) {}
