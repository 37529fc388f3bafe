#include "toolkit/sys/files.h"

#include "toolkit/app/exception.h"
#include "toolkit/chart/chart.h"
#include "toolkit/paint/canvas.h"
#include "toolkit/sys/output_file.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPixmap>
#include <QWidget>

#include <unistd.h>

namespace {

void save_bytes(const std::string& path, const char* data, std::size_t size) {
    OutputFile file(path);
    std::string error;
    if (!file.open(error) || !file.write(data, size) || !file.commit(error)) {
        throw Exception(error.empty() ? file.error() : error);
    }
}

// `what` names the image in the message when it cannot be encoded.
QByteArray encoded(const QImage& image, const std::string& format, const std::string& what) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format.c_str())) {
        throw Exception("Cannot save " + what + ": the image could not be encoded as " + format);
    }
    return bytes;
}

void save_image(const QImage& image, const std::string& path, const std::string& format) {
    const QByteArray bytes = encoded(image, format, path);
    save_bytes(path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

void SaveTextFile(const std::string& path, const std::string& text) { save_bytes(path, text.data(), text.size()); }

void SavePngFile(const TCanvas& canvas, const std::string& path) { save_image(canvas.Bitmap(), path, "png"); }

void SavePngFile(const TChart& chart, const std::string& path) { SavePngFile(*chart.Widget(), path); }

void SavePngFile(QWidget& widget, const std::string& path) { save_image(widget.grab().toImage(), path, "png"); }

std::string ImageFileBytes(const TCanvas& canvas, const std::string& format) {
    return encoded(canvas.Bitmap(), format, "the image").toStdString();
}

std::string ImageFormatForPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "png";
    const QByteArray extension = QByteArray::fromStdString(path.substr(dot + 1)).toLower();
    if (extension == "jpeg") return "jpg";
    if (extension == "tif") return "tiff";
    return QImageWriter::supportedImageFormats().contains(extension) ? extension.toStdString() : std::string();
}

std::string InputFileName(const std::string& path) { return path == "-" ? "<stdin>" : path; }

std::string ReadTextFile(const std::string& path, std::size_t maxBytes) {
    if (path.empty()) throw Exception("Cannot read '': no file name given");
    const QString name = QString::fromStdString(path);
    if (path != "-" && QFileInfo(name).isDir()) throw Exception("Cannot read " + path + ": it is a folder");
    QFile file(name);
    const bool open = path == "-" ? file.open(STDIN_FILENO, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!open) throw Exception("Cannot read " + InputFileName(path) + ": " + file.errorString().toStdString());
    std::string text(maxBytes + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const qint64 n = file.read(text.data() + got, static_cast<qint64>(text.size() - got));
        if (n < 0) throw Exception("Cannot read " + InputFileName(path) + ": " + file.errorString().toStdString());
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return text;
}
