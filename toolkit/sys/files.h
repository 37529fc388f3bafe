#pragma once
// Saving what the bench shows, through OutputFile: each file appears whole
// or not at all. A failure throws Exception "Cannot save PATH: reason".
#include <string>

class TCanvas;
class TChart;

void SaveTextFile(const std::string& path, const std::string& text);
// The canvas' bitmap as PNG.
void SavePngFile(const TCanvas& canvas, const std::string& path);
// The chart as it shows on screen, as PNG.
void SavePngFile(const TChart& chart, const std::string& path);
// The canvas' bitmap in `format`, one of the names ImageFormatForPath gives.
void SaveImageFile(const TCanvas& canvas, const std::string& path, const std::string& format);

// The picture format a file name asks for by its extension ("png" without
// one); empty when Qt cannot write that format.
std::string ImageFormatForPath(const std::string& path);
