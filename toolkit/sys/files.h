#pragma once
// Reading the files a user opens, and saving what the bench shows. Each file appears whole or not at all: it is
// written beside its final name and moved there once complete. A failure
// throws Exception with the reason.
#include <cstddef>
#include <string>

class TCanvas;
class TChart;

void SaveTextFile(const std::string& path, const std::string& text);
// The canvas' bitmap as PNG.
void SavePngFile(const TCanvas& canvas, const std::string& path);
// The chart as it shows on screen, as PNG.
void SavePngFile(const TChart& chart, const std::string& path);

// The file's bytes, at most maxBytes + 1 of them: a caller that gets more
// than maxBytes knows the file is too long without it being read whole.
// A failure throws Exception with the reason.
std::string ReadTextFile(const std::string& path, std::size_t maxBytes);
