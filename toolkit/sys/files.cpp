#include "toolkit/sys/files.h"

#include "toolkit/paint/canvas.h"
#include "toolkit/chart/chart.h"
#include "toolkit/app/exception.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QSaveFile>
#include <QWidget>

namespace {

[[noreturn]] void fail(const std::string& path, const QString& reason) {
    throw Exception("Cannot save " + path + ": " + reason.toStdString());
}

}  // namespace

void SaveTextFile(const std::string& path, const std::string& text) {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) fail(path, file.errorString());
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        const QString reason = file.errorString();
        file.cancelWriting();
        fail(path, reason);
    }
    if (!file.commit()) fail(path, file.errorString());
}

namespace {

void save_png(const QImage& image, const std::string& path) {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) fail(path, file.errorString());
    if (!image.save(&file, "PNG")) {
        const QString reason = file.errorString();
        file.cancelWriting();
        fail(path, reason.isEmpty() ? QStringLiteral("the image could not be encoded") : reason);
    }
    if (!file.commit()) fail(path, file.errorString());
}

}  // namespace

void SavePngFile(const TCanvas& canvas, const std::string& path) { save_png(canvas.Bitmap(), path); }

void SavePngFile(const TChart& chart, const std::string& path) { save_png(chart.Widget()->grab().toImage(), path); }

std::string ReadTextFile(const std::string& path, std::size_t maxBytes) {
    const QString name = QString::fromStdString(path);
    if (QFileInfo(name).isDir()) throw Exception("Cannot read " + path + ": it is a folder");
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) throw Exception("Cannot read " + path + ": " + file.errorString().toStdString());
    std::string text(maxBytes + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const qint64 n = file.read(text.data() + got, static_cast<qint64>(text.size() - got));
        if (n < 0) throw Exception("Cannot read " + path + ": " + file.errorString().toStdString());
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return text;
}
