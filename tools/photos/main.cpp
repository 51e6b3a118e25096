// Writes the sample catalogue's photographs: drawn plants, one file per line of the photo list.
// Usage: orvela_photos <photos.tsv> <folder>

#include "platform/errors/Errors.h"
#include "platform/jpeg/WriteJpeg.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <iterator>
#include <vector>

namespace {

using orvela::Error;
using orvela::JpegColours;

struct Photo {
    int id = 0;
    int number = 0;
    QSize size;
    JpegColours colours = JpegColours::Rgb;
    bool progressive = false;
};

Photo ParseLine(const QString& line, int lineNumber)
{
    const QStringList fields = line.split(QLatin1Char('\t'));
    bool ok = fields.size() == 5;
    Photo photo;
    const auto number = [&](int index, int low, int high) {
        bool parsed = false;
        const int value = ok ? fields[index].toInt(&parsed) : 0;
        ok = ok && parsed && value >= low && value <= high;
        return value;
    };
    photo.id = number(0, 1, 999999);
    photo.number = number(1, 0, 19);
    photo.size = QSize(number(2, 16, 4000), number(3, 16, 4000));
    const QString storage = ok ? fields[4].trimmed() : QString();
    if (storage == QLatin1String("grayscale"))
        photo.colours = JpegColours::Grayscale;
    else if (storage == QLatin1String("cmyk"))
        photo.colours = JpegColours::Cmyk;
    else if (storage == QLatin1String("progressive"))
        photo.progressive = true;
    else if (storage != QLatin1String("rgb"))
        ok = false;
    if (!ok)
        throw Error(
            QStringLiteral("Photo list line %1 is not: id, number 0-19, width, height, storage").arg(lineNumber));
    return photo;
}

std::vector<Photo> ReadPhotoList(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw orvela::FileError(QStringLiteral("Cannot open file %1").arg(path));
    std::vector<Photo> photos;
    QTextStream in(&file);
    for (int lineNumber = 1; !in.atEnd(); ++lineNumber) {
        const QString line = in.readLine();
        if (!line.trimmed().isEmpty() && !line.startsWith(QLatin1Char('#')))
            photos.push_back(ParseLine(line, lineNumber));
    }
    return photos;
}

/// A petal or leaf: a pointed oval from the origin along +x.
QPainterPath Blade(double length, double width)
{
    QPainterPath path;
    path.moveTo(0, 0);
    path.cubicTo(length * 0.3, -width, length * 0.7, -width, length, 0);
    path.cubicTo(length * 0.7, width, length * 0.3, width, 0, 0);
    return path;
}

void DrawBackground(QPainter& painter, QSize size, QRandomGenerator& random)
{
    const int skyHue = 180 + random.bounded(50);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor::fromHsv(skyHue, 90 + random.bounded(60), 250));
    sky.setColorAt(0.65, QColor::fromHsv(skyHue, 30, 240));
    sky.setColorAt(0.66, QColor::fromHsv(70 + random.bounded(40), 140, 150));
    sky.setColorAt(1, QColor::fromHsv(90 + random.bounded(30), 170, 70));
    painter.fillRect(QRect(QPoint(0, 0), size), sky);

    // Soft blades of grass along the ground line.
    const double ground = size.height() * 0.66;
    for (int i = 0; i < 40; ++i) {
        painter.save();
        painter.translate(random.bounded(size.width()), ground + random.bounded(size.height() * 0.3));
        painter.rotate(-90 + random.bounded(30) - 15);
        painter.setBrush(QColor::fromHsv(85 + random.bounded(40), 160, 90 + random.bounded(80), 160));
        painter.drawPath(Blade(size.height() * (0.05 + random.bounded(0.08)), size.height() * 0.006));
        painter.restore();
    }
}

/// Flower colours: reds, yellows, purples, pinks, blues; every fifth species pale.
QColor FlowerColour(int id)
{
    static constexpr int hues[] = {350, 45, 280, 20, 330, 55, 220, 0, 300, 260, 35, 315};
    return QColor::fromHsv(hues[id % std::size(hues)], id % 5 == 0 ? 40 : 255, 255);
}

void DrawPlant(QPainter& painter, QSize size, QColor flower, QRandomGenerator& random)
{
    const int hue = flower.hsvHue();
    const int saturation = flower.hsvSaturation();
    const double scale = std::min(size.width(), size.height());
    const QPointF base(size.width() * (0.35 + random.bounded(0.3)), size.height() * 0.95);
    const QPointF head(base.x() + scale * (random.bounded(0.3) - 0.15), size.height() * (0.22 + random.bounded(0.15)));

    QPainterPath stem(base);
    stem.quadTo(QPointF(base.x() + scale * (random.bounded(0.2) - 0.1), (base.y() + head.y()) / 2), head);
    const QColor stemColour = QColor::fromHsv(100 + random.bounded(30), 200, 110);
    painter.setPen(QPen(stemColour, scale * 0.018, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(stem);

    const int leaves = 2 + random.bounded(5);
    for (int i = 0; i < leaves; ++i) {
        const double along = 0.15 + 0.6 * i / leaves;
        const bool right = i % 2 == 0;
        painter.save();
        painter.translate(stem.pointAtPercent(along));
        painter.rotate((right ? -30 : -150) + random.bounded(30) - 15);
        const QPainterPath leaf = Blade(scale * (0.14 + random.bounded(0.1)), scale * 0.035);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromHsv(90 + random.bounded(40), 180, 100 + random.bounded(80)));
        painter.drawPath(leaf);
        painter.setPen(QPen(QColor(230, 250, 200, 140), scale * 0.003));
        painter.drawLine(QPointF(0, 0), QPointF(leaf.boundingRect().right() * 0.9, 0));
        painter.restore();
    }

    const int petals = 4 + random.bounded(5);
    const double radius = scale * (0.12 + random.bounded(0.08));
    painter.save();
    painter.translate(head);
    painter.setPen(QPen(QColor::fromHsv(hue, saturation, 120, 120), scale * 0.002));
    for (int i = 0; i < petals; ++i) {
        painter.save();
        painter.rotate(360.0 * i / petals);
        QLinearGradient shade(0, 0, radius, 0);
        shade.setColorAt(0, QColor::fromHsv(hue, saturation, 190));
        const int tipSaturation = saturation / 2 + random.bounded(saturation / 3 + 1);
        shade.setColorAt(1, QColor::fromHsv((hue + 15) % 360, tipSaturation, 255));
        painter.setBrush(shade);
        painter.drawPath(Blade(radius, radius * (1.6 / petals + 0.08)));
        painter.restore();
    }
    QRadialGradient eye(QPointF(0, 0), radius * 0.22);
    eye.setColorAt(0, QColor(255, 230, 90));
    eye.setColorAt(1, QColor(150, 90, 20));
    painter.setPen(Qt::NoPen);
    painter.setBrush(eye);
    painter.drawEllipse(QPointF(0, 0), radius * 0.22, radius * 0.22);
    painter.restore();
}

QImage DrawPhoto(const Photo& photo)
{
    QImage image(photo.size, QImage::Format_RGB32);
    // The same species keeps its flower colour on every photo; the rest varies from photo to photo.
    QRandomGenerator random(quint32(photo.id * 100 + photo.number));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    DrawBackground(painter, photo.size, random);
    DrawPlant(painter, photo.size, FlowerColour(photo.id), random);

    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(std::max(10, photo.size.height() / 40));
    painter.setFont(font);
    painter.setPen(QColor(255, 255, 255, 220));
    const int margin = font.pixelSize() / 2;
    painter.drawText(QRect(QPoint(0, 0), photo.size).adjusted(margin, margin, -margin, -margin),
        Qt::AlignRight | Qt::AlignBottom, QStringLiteral("O%1_%2").arg(photo.id).arg(photo.number));
    return image;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: orvela_photos <photos.tsv> <folder>\n");
        return 2;
    }
    try {
        const std::vector<Photo> photos = ReadPhotoList(QString::fromLocal8Bit(argv[1]));
        const QDir folder(QString::fromLocal8Bit(argv[2]));
        if (!folder.mkpath(QStringLiteral(".")))
            throw orvela::FileError(QStringLiteral("Cannot create file %1").arg(folder.path()));
        for (const Photo& photo : photos) {
            orvela::JpegWriteOptions options;
            options.colours = photo.colours;
            options.progressive = photo.progressive;
            options.quality = 85;
            orvela::WriteJpeg(DrawPhoto(photo),
                folder.filePath(QStringLiteral("O%1_%2.jpg").arg(photo.id).arg(photo.number)), options);
        }
    } catch (const Error& error) {
        std::fprintf(stderr, "orvela_photos: %s\n", error.what());
        return 1;
    }
    return 0;
}
