#pragma once
// Saving what the bench shows. Each file appears whole or not at all: it is
// written beside its final name and moved there once complete. A failure
// throws Exception with the reason.
#include <string>

class TCanvas;
class TChart;

void SaveTextFile(const std::string& path, const std::string& text);
// The canvas' bitmap as PNG.
void SavePngFile(const TCanvas& canvas, const std::string& path);
// The chart as it shows on screen, as PNG.
void SavePngFile(const TChart& chart, const std::string& path);
