#pragma once
// The regulation run behind "Regelung an": reads the gains from Form1,
// runs the loop pass by pass with its pause and message pump, fills the
// chart and, in position mode, the position text. The two buttons' click
// handlers (TForm1::Button1Click, Button2Click) live with it, in
// regulation_run.cpp, as the NC page's live in nc_page.cpp: the form only
// binds them.

// Returns when "Regelung aus" has been handled or, in position mode, when
// the NC program has ended.
void run_regulation();
