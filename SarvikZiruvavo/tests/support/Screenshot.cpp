#include "Screenshot.hpp"

#include <QDir>
#include <QQuickWindow>

#include <cstdlib>

namespace {

bool channelsDiffer(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) > tolerance || std::abs(qGreen(a) - qGreen(b)) > tolerance
        || std::abs(qBlue(a) - qBlue(b)) > tolerance || std::abs(qAlpha(a) - qAlpha(b)) > tolerance;
}

QString saveForReview(const QImage& image, const QString& name)
{
    const QString path = Screenshot::outputPath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return image.save(path) ? path : QStringLiteral("(could not write %1)").arg(path);
}

} // namespace

QString Screenshot::referencePath(const QString& name)
{
    return QStringLiteral(SARVIK_REFERENCE_DIR "/%1.png").arg(name);
}

QString Screenshot::outputPath(const QString& name)
{
    return QStringLiteral(SARVIK_SCREENSHOT_DIR "/%1.png").arg(name);
}

ScreenshotVerdict Screenshot::compare(
    const QImage& picture, const QString& name, const ScreenshotTolerance& tolerance)
{
    const QImage actual = picture.convertToFormat(QImage::Format_ARGB32);
    const QString referenceFile = referencePath(name);
    if (qEnvironmentVariable("SARVIK_UPDATE_REFERENCES") == QLatin1String("1")) {
        QDir().mkpath(QFileInfo(referenceFile).absolutePath());
        if (!actual.save(referenceFile))
            return { false, QStringLiteral("could not write the reference %1").arg(referenceFile) };
        return { true, QStringLiteral("stored the reference %1").arg(referenceFile) };
    }
    QImage reference(referenceFile);
    if (reference.isNull()) {
        const QString written = saveForReview(actual, name);
        return { false,
            QStringLiteral("no reference picture %1; the actual one is %2").arg(referenceFile, written) };
    }
    reference = reference.convertToFormat(QImage::Format_ARGB32);
    if (reference.size() != actual.size()) {
        const QString written = saveForReview(actual, name);
        return { false,
            QStringLiteral("size %1x%2 instead of the reference's %3x%4; the actual picture is %5")
                .arg(actual.width())
                .arg(actual.height())
                .arg(reference.width())
                .arg(reference.height())
                .arg(written) };
    }
    QImage differences(actual.size(), QImage::Format_ARGB32);
    differences.fill(Qt::black);
    qint64 differing = 0;
    for (int y = 0; y < actual.height(); ++y) {
        const QRgb* a = reinterpret_cast<const QRgb*>(actual.constScanLine(y));
        const QRgb* r = reinterpret_cast<const QRgb*>(reference.constScanLine(y));
        for (int x = 0; x < actual.width(); ++x) {
            if (channelsDiffer(a[x], r[x], tolerance.channel)) {
                ++differing;
                differences.setPixel(x, y, qRgb(255, 0, 0));
            }
        }
    }
    const double fraction = double(differing) / (double(actual.width()) * double(actual.height()));
    if (fraction <= tolerance.differingPixels)
        return { true, {} };
    const QString written = saveForReview(actual, name);
    saveForReview(differences, name + QStringLiteral(".diff"));
    return { false,
        QStringLiteral("%1 pixels (%2 %) differ from %3 by more than %4; the actual picture is %5, the "
                       "differing pixels are red in %6")
            .arg(differing)
            .arg(fraction * 100, 0, 'f', 3)
            .arg(referenceFile)
            .arg(tolerance.channel)
            .arg(written, outputPath(name + QStringLiteral(".diff"))) };
}

ScreenshotVerdict Screenshot::compareWindow(
    QQuickWindow* window, const QString& name, const ScreenshotTolerance& tolerance)
{
    if (!window)
        return { false, QStringLiteral("no window to compare with %1").arg(name) };
    return compare(window->grabWindow(), name, tolerance);
}
