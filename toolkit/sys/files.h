#pragma once
// Reading the files a user opens, and saving what the bench shows through
// OutputFile: each saved file appears whole or not at all. A failure throws
// Exception ("Cannot save PATH: reason", "Cannot read PATH: reason").
#include <cstddef>
#include <string>

class QWidget;
class TCanvas;
class TChart;

void SaveTextFile(const std::string& path, const std::string& text);
// The canvas' bitmap as PNG.
void SavePngFile(const TCanvas& canvas, const std::string& path);
// The chart as it shows on screen, as PNG.
void SavePngFile(const TChart& chart, const std::string& path);
// A widget as it shows on screen, as PNG.
void SavePngFile(QWidget& widget, const std::string& path);
// The canvas' bitmap as the bytes of a `format` file, one of the names
// ImageFormatForPath gives; throws Exception when it cannot be encoded so.
std::string ImageFileBytes(const TCanvas& canvas, const std::string& format);

// The picture format a file name asks for by its extension ("png" without
// one); empty when Qt cannot write that format.
std::string ImageFormatForPath(const std::string& path);

// The file's bytes, at most maxBytes + 1 of them: a caller that gets more
// than maxBytes knows the file is too long without it being read whole.
// Any file that can be read will do: a regular file, a FIFO, /dev/fd/N (a
// shell's <(...)), and "-" for standard input.
std::string ReadTextFile(const std::string& path, std::size_t maxBytes);
// How messages name what ReadTextFile reads from `path`: "<stdin>" for "-".
std::string InputFileName(const std::string& path);
