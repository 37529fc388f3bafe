#pragma once
// The chart's data as the CSV the command-line trace writes, rows for rows:
// a header with the series named as the legend names them
// ("time,y (PWM),v (IST),x (Pos),x (SollPos)"), then one row per time in
// order, with an empty cell where a series has no point at that time.
#include <string>

std::string chart_csv();
