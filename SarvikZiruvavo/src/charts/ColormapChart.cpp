#include "ColormapChart.hpp"

#include "ColormapMaterial.hpp"

#include <QQuickWindow>
#include <QSGGeometryNode>
#include <QSGTexture>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// No screen shows more rows; the cap keeps a tiny frame thickness from asking
// for an image of absurd height.
constexpr int maxRows = 32768;

bool samePoint(const QPointF& a, const QPointF& b)
{
    return std::abs(a.x() - b.x()) <= 1e-12 && std::abs(a.y() - b.y()) <= 1e-12;
}

bool sameValue(double a, double b)
{
    return std::min(std::abs(a), std::abs(b)) >= std::abs(a - b) * 1e12;
}

int rowsFor(double extent, double thickness)
{
    if (!(extent > 0))
        return 0;
    return int(std::min(std::ceil(extent / thickness), double(maxRows)));
}

} // namespace

ColormapChart::ColormapChart(QQuickItem* parent)
    : QQuickItem(parent)
{
    setFlag(ItemHasContents, true);
}

void ColormapChart::setMinimumValue(const QPointF& value)
{
    if (samePoint(value, m_minimumValue))
        return;
    m_minimumValue = value;
    markDirty(false);
    emit minimumValueChanged();
}

void ColormapChart::setMaximumValue(const QPointF& value)
{
    if (samePoint(value, m_maximumValue))
        return;
    m_maximumValue = value;
    markDirty(false);
    emit maximumValueChanged();
}

void ColormapChart::setOrientation(Qt::Orientation orientation)
{
    if (orientation == m_orientation)
        return;
    m_orientation = orientation;
    markDirty(true);
    emit orientationChanged();
}

QVariantList ColormapChart::colormap() const
{
    QVariantList list;
    for (QRgb rgb : m_colorTable) {
        const QColor color(rgb);
        list.append(QVariant(QVariantList { color.redF(), color.greenF(), color.blueF(), color.alphaF() }));
    }
    return list;
}

void ColormapChart::setColormap(const QVariantList& colormap)
{
    QVector<QRgb> table;
    table.reserve(colormap.size());
    for (const QVariant& entry : colormap) {
        if (!entry.canConvert<QVariantList>())
            qFatal("internal error");
        const QVariantList rgb = entry.toList();
        const auto component
            = [&rgb](int i) { return i < rgb.size() ? qBound(0.0, rgb[i].toDouble(), 1.0) : 0.0; };
        table.append(QColor::fromRgbF(component(0), component(1), component(2)).rgb());
    }
    if (table == m_colorTable)
        return;
    m_colorTable = table;
    // Rows drawn with the old table would stay in its colours.
    markDirty(false);
    emit colormapChanged();
}

void ColormapChart::setBackgroundColor(const QColor& color)
{
    QColor opaque = color;
    opaque.setAlpha(255);
    if (opaque == m_backgroundColor)
        return;
    m_backgroundColor = opaque;
    markDirty(false);
    emit backgroundColorChanged();
}

void ColormapChart::setFrameThickness(double thickness)
{
    if (sameValue(m_frameThickness, thickness))
        return;
    m_frameThickness = thickness;
    // The number of image rows follows the thickness.
    markDirty(true);
    emit frameThicknessChanged();
}

void ColormapChart::setMargin(double margin)
{
    if (sameValue(m_margin, margin))
        return;
    m_margin = margin;
    markDirty(false);
    emit marginChanged();
}

int ColormapChart::colorIndex(double value, double minimum, double maximum)
{
    const double range = maximum - minimum;
    if (!(range > 0))
        return 0;
    const double scaled = (value - minimum) / range * 255.0;
    if (std::isnan(scaled))
        return 0;
    const double index = std::floor(scaled + 0.5);
    if (index >= 255.0)
        return 255;
    if (index < 1.0)
        return 0;
    return int(index);
}

QRgb ColormapChart::colorOf(double value) const
{
    if (m_colorTable.isEmpty())
        return m_backgroundColor.rgb();
    const int index = colorIndex(value, m_minimumValue.y(), m_maximumValue.y());
    return m_colorTable[std::min(index, m_colorTable.size() - 1)];
}

double ColormapChart::thickness() const
{
    return m_frameThickness > 0 && std::isfinite(m_frameThickness) ? m_frameThickness : 1.0;
}

int ColormapChart::frameBudget() const
{
    const int extent = m_orientation == Qt::Horizontal ? m_pixelWidth : m_pixelHeight;
    return int(std::min(std::ceil(extent / thickness()), double(maxRows)));
}

int ColormapChart::closedFrameCount() const
{
    return int(m_frames.size()) - (m_activeFrame >= 0 ? 1 : 0);
}

void ColormapChart::markDirty(bool rebuildImage)
{
    m_dirty = true;
    if (rebuildImage)
        m_sizeChanged = true;
    update();
}

void ColormapChart::beginFrame()
{
    if (m_activeFrame >= 0) {
        qWarning("WARNING: attempting to begin new frame when already active!");
        return;
    }
    const size_t keep = size_t(std::max(frameBudget() - 1, 0));
    while (m_frames.size() > keep)
        m_frames.pop_front();
    m_frames.emplace_back();
    m_frames.back().reserve(m_pointsPerFrame);
    m_activeFrame = int(m_frames.size()) - 1;
}

void ColormapChart::addPoint(QPointF point)
{
    if (m_activeFrame < 0) {
        qWarning("WARNING: attempting to add points when there is no active frame");
        return;
    }
    m_frames.back().append(point);
}

void ColormapChart::endFrame()
{
    if (m_activeFrame < 0)
        return;
    const int points = m_frames.back().size();
    if (m_frames.size() == 1 && std::max(points, 1) != m_pointsPerFrame) {
        m_pointsPerFrame = std::max(points, 1);
        m_dirty = m_sizeChanged = true;
    }
    if (points != m_pointsPerFrame) {
        qWarning("%s",
            qPrintable(QStringLiteral("WARNING: invalid number of points for frame, expected: %1, actual: %2")
                           .arg(m_pointsPerFrame)
                           .arg(points)));
        qWarning("WARNING: removing invalid frame");
        m_frames.pop_back();
    } else {
        // Counted only once complete, so a paint never shows a half frame
        // and a dropped frame never scrolls the image.
        ++m_newFrameCount;
    }
    m_activeFrame = -1;
    update();
}

void ColormapChart::reset()
{
    m_frames.clear();
    m_activeFrame = -1;
    m_newFrameCount = 0;
    m_dirty = true;
    update();
}

void ColormapChart::geometryChanged(const QRectF& newGeometry, const QRectF& oldGeometry)
{
    QQuickItem::geometryChanged(newGeometry, oldGeometry);
    if (sameValue(newGeometry.width(), oldGeometry.width())
        && sameValue(newGeometry.height(), oldGeometry.height()))
        return;
    const double ratio = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    const auto pixels = [ratio](double extent) {
        return int(std::floor(std::max(std::ceil(ratio * extent), 0.0) / ratio));
    };
    m_pixelWidth = pixels(newGeometry.width());
    m_pixelHeight = pixels(newGeometry.height());
    markDirty(true);
}

void ColormapChart::updateImage()
{
    if (m_sizeChanged)
        rebuildImage();
    if (!m_image.isNull()) {
        const int shown = std::min(closedFrameCount(), m_image.height());
        if (m_dirty || (m_newFrameCount > 0 && m_newFrameCount >= shown))
            redrawAll();
        else
            drawNewFrames(m_newFrameCount);
    }
    m_dirty = false;
    m_sizeChanged = false;
    m_newFrameCount = 0;
}

void ColormapChart::rebuildImage()
{
    const double extent = m_orientation == Qt::Horizontal ? width() : height();
    const int rows = rowsFor(extent, thickness());
    m_image = rows > 0 ? QImage(m_pointsPerFrame, rows, QImage::Format_RGB32) : QImage();
    m_newestRow = 0;
    m_rowsShown = 0;
    m_dirty = true;
}

void ColormapChart::redrawAll()
{
    m_image.fill(m_backgroundColor);
    m_newestRow = 0;
    m_rowsShown = std::min(closedFrameCount(), m_image.height());
    for (int age = 0; age < m_rowsShown; ++age)
        drawFrame(age);
}

// Turns the ring back by count rows so that the new frames take the rows of
// the oldest, colours them, and clears rows whose frames the budget dropped.
void ColormapChart::drawNewFrames(int count)
{
    const int rows = m_image.height();
    m_newestRow = ((m_newestRow - count) % rows + rows) % rows;
    for (int age = 0; age < count; ++age)
        drawFrame(age);
    const int shown = std::min(closedFrameCount(), rows);
    const int stale = std::min(count + m_rowsShown, rows);
    for (int age = shown; age < stale; ++age)
        clearRow((m_newestRow + age) % rows);
    m_rowsShown = shown;
}

void ColormapChart::drawFrame(int age)
{
    const QVector<QPointF>& frame = m_frames[size_t(closedFrameCount() - 1 - age)];
    const int row = (m_newestRow + age) % m_image.height();
    auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(row));
    const int count = std::min(frame.size(), m_image.width());
    for (int k = 0; k < count; ++k)
        line[k] = colorOf(frame[k].y());
    std::fill(line + count, line + m_image.width(), m_backgroundColor.rgb());
}

void ColormapChart::clearRow(int row)
{
    auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(row));
    std::fill(line, line + m_image.width(), m_backgroundColor.rgb());
}

QImage ColormapChart::displayedImage() const
{
    if (m_image.isNull())
        return QImage();
    QImage shown(m_image.size(), m_image.format());
    const int rows = m_image.height();
    for (int row = 0; row < rows; ++row)
        std::memcpy(shown.scanLine(row), m_image.constScanLine((m_newestRow + row) % rows),
            size_t(m_image.bytesPerLine()));
    return shown;
}

// Two quads: the rows from the newest one to the end of the image, then the
// rows from the start of the image that hold the oldest frames. Along the
// frame axis each row is exactly one frame thickness long, and the last row
// is cut where the item ends. Vertical charts put the newest frame at the top;
// horizontal ones put it at the right, with a frame's values from bottom to top.
void ColormapChart::placeGeometry(QSGGeometry* geometry) const
{
    QSGGeometry::TexturedPoint2D* vertex = geometry->vertexDataAsTexturedPoint2D();
    const int rows = m_image.height();
    const double frameLength = thickness();
    const bool horizontal = m_orientation == Qt::Horizontal;
    const double extent = horizontal ? width() : height();
    const auto quad = [&](int firstAge, int ageCount, int firstRow) {
        const double from = std::min(firstAge * frameLength, extent);
        const double to = std::min((firstAge + ageCount) * frameLength, extent);
        const float t0 = float(firstRow) / float(rows);
        const float t1 = t0 + float((to - from) / (frameLength * rows));
        QSGGeometry::TexturedPoint2D corner[4];
        if (horizontal) {
            const float x0 = float(width() - from);
            const float x1 = float(width() - to);
            corner[0].set(x0, float(height()), 0.0f, t0);
            corner[1].set(x0, 0.0f, 1.0f, t0);
            corner[2].set(x1, float(height()), 0.0f, t1);
            corner[3].set(x1, 0.0f, 1.0f, t1);
        } else {
            corner[0].set(0.0f, float(from), 0.0f, t0);
            corner[1].set(float(width()), float(from), 1.0f, t0);
            corner[2].set(0.0f, float(to), 0.0f, t1);
            corner[3].set(float(width()), float(to), 1.0f, t1);
        }
        for (int index : { 0, 1, 2, 1, 3, 2 })
            *vertex++ = corner[index];
    };
    quad(0, rows - m_newestRow, m_newestRow);
    quad(rows - m_newestRow, m_newestRow, 0);
}

QSGNode* ColormapChart::updatePaintNode(QSGNode* oldNode, UpdatePaintNodeData*)
{
    updateImage();
    if (m_image.isNull()) {
        delete oldNode;
        return nullptr;
    }
    auto* node = static_cast<QSGGeometryNode*>(oldNode);
    if (!node) {
        node = new QSGGeometryNode;
        auto* geometry = new QSGGeometry(QSGGeometry::defaultAttributes_TexturedPoint2D(), 12);
        geometry->setDrawingMode(QSGGeometry::DrawTriangles);
        node->setGeometry(geometry);
        node->setFlag(QSGNode::OwnsGeometry);
        node->setMaterial(new ColormapMaterial);
        node->setFlag(QSGNode::OwnsMaterial);
    }
    placeGeometry(node->geometry());
    node->markDirty(QSGNode::DirtyGeometry);

    auto* material = static_cast<ColormapMaterial*>(node->material());
    material->setXScale(1.0f / float(std::max(m_pointsPerFrame - 1, 1)));
    QSGTexture* texture = window()->createTextureFromImage(m_image, QQuickWindow::TextureIsOpaque);
    texture->setFiltering(QSGTexture::Nearest);
    texture->setHorizontalWrapMode(QSGTexture::ClampToEdge);
    texture->setVerticalWrapMode(QSGTexture::ClampToEdge);
    material->setTexture(texture);
    node->markDirty(QSGNode::DirtyMaterial);
    return node;
}
