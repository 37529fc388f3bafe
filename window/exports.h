#pragma once
// The chart's data as the CSV the command-line trace writes: a header
// "time,series1,series2,series3,series4", then one row per time in order,
// with an empty cell where a series has no point at that time.
#include <string>

std::string chart_csv();
