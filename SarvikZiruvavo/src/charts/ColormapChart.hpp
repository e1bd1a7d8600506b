// A scrolling heat map. Each frame is one row of values, the newest row at the
// top and older rows below it; each value is coloured through a colour table,
// and the Shader blends neighbouring colours along the row. QML feeds it with
// beginFrame(), addPoint() per value and endFrame().
//
// The image is a ring of rows: a new frame overwrites the row of the oldest
// one and the drawing starts at the newest row, so a frame costs the same
// whatever the chart's height. Frames that arrive between two paints are
// coloured then; everything is redrawn only when the size, the frame length,
// the value range or the colours changed.
#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QQuickItem>
#include <QVariantList>
#include <QVector>
#include <deque>

class QSGGeometry;

class ColormapChart : public QQuickItem {
    Q_OBJECT
    Q_PROPERTY(QPointF minimumValue READ minimumValue WRITE setMinimumValue NOTIFY minimumValueChanged)
    Q_PROPERTY(QPointF maximumValue READ maximumValue WRITE setMaximumValue NOTIFY maximumValueChanged)
    Q_PROPERTY(Qt::Orientation orientation READ orientation WRITE setOrientation NOTIFY orientationChanged)
    Q_PROPERTY(QVariantList colormap READ colormap WRITE setColormap NOTIFY colormapChanged)
    Q_PROPERTY(
        QColor backgroundColor READ backgroundColor WRITE setBackgroundColor NOTIFY backgroundColorChanged)
    Q_PROPERTY(double frameThickness READ frameThickness WRITE setFrameThickness NOTIFY frameThicknessChanged)
    Q_PROPERTY(double margin READ margin WRITE setMargin NOTIFY marginChanged)
public:
    explicit ColormapChart(QQuickItem* parent = nullptr);

    QPointF minimumValue() const { return m_minimumValue; }
    void setMinimumValue(const QPointF& value);
    QPointF maximumValue() const { return m_maximumValue; }
    void setMaximumValue(const QPointF& value);
    Qt::Orientation orientation() const { return m_orientation; }
    void setOrientation(Qt::Orientation orientation);
    // Each entry a list [red, green, blue, ...] of numbers from 0 to 1.
    QVariantList colormap() const;
    void setColormap(const QVariantList& colormap);
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color);
    double frameThickness() const { return m_frameThickness; }
    void setFrameThickness(double thickness);
    double margin() const { return m_margin; }
    void setMargin(double margin);

    // The colour-table entry of a value: 0 at or below the minimum (and for
    // NaN, -inf or an empty range), 255 at or above the maximum.
    static int colorIndex(double value, double minimum, double maximum);

    // Frames kept, the open one included.
    Q_INVOKABLE int frameCount() const { return int(m_frames.size()); }
    // Brings the image up to date with the frames, as a paint does.
    void updateImage();
    // The image as the chart shows it (newest frame in row 0), without
    // bringing it up to date; null while the chart has no size.
    QImage displayedImage() const;

public slots:
    void beginFrame();
    void addPoint(QPointF point);
    void endFrame();
    void reset();

signals:
    void minimumValueChanged();
    void maximumValueChanged();
    void orientationChanged();
    void colormapChanged();
    void backgroundColorChanged();
    void frameThicknessChanged();
    void marginChanged();

protected:
    QSGNode* updatePaintNode(QSGNode* oldNode, UpdatePaintNodeData* data) override;
    void geometryChanged(const QRectF& newGeometry, const QRectF& oldGeometry) override;

private:
    double thickness() const;
    int frameBudget() const;
    int closedFrameCount() const;
    void markDirty(bool rebuildImage);
    void rebuildImage();
    void redrawAll();
    void drawNewFrames(int count);
    void drawFrame(int age);
    void clearRow(int row);
    QRgb colorOf(double value) const;
    void placeGeometry(QSGGeometry* geometry) const;

    bool m_sizeChanged = true;
    bool m_dirty = true;
    int m_activeFrame = -1;
    // Frames ended since the last paint.
    int m_newFrameCount = 0;
    int m_pointsPerFrame = 1;
    double m_frameThickness = 1.0;
    double m_margin = 0.0;
    Qt::Orientation m_orientation = Qt::Vertical;
    QColor m_backgroundColor = Qt::black;
    QPointF m_minimumValue;
    QPointF m_maximumValue;
    QVector<QRgb> m_colorTable;
    QImage m_image;
    int m_pixelWidth = -1;
    int m_pixelHeight = -1;
    // Oldest first; the open frame, if any, is the last.
    std::deque<QVector<QPointF>> m_frames;

    // The ring of image rows: the newest frame is in row m_newestRow, older
    // ones follow it and wrap round; m_rowsShown rows from there hold frames.
    int m_newestRow = 0;
    int m_rowsShown = 0;
};
