// The heat map's frames, budget, colours and image, without a window: the
// image is what each paint turns into a texture.
#include "charts/ColormapChart.hpp"
#include "support/MessageLog.hpp"
#include "support/QtPrinters.hpp"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

const QRgb background = qRgb(0, 0, 0);

// Entry i is a colour that no other entry has.
QRgb tableColor(int i)
{
    return qRgb(i, 255 - i, (i * 7) % 256);
}

QVariantList colormap(int entries)
{
    QVariantList map;
    for (int i = 0; i < entries; ++i) {
        const QColor c(tableColor(i));
        map.append(QVariant(QVariantList { c.redF(), c.greenF(), c.blueF() }));
    }
    return map;
}

// A chart of the given size whose values 0 to 255 take the table entries 0 to 255.
std::unique_ptr<ColormapChart> makeChart(
    double width, double height, double thickness = 1.0, int entries = 256)
{
    auto chart = std::make_unique<ColormapChart>();
    chart->setColormap(colormap(entries));
    chart->setMinimumValue(QPointF(0, 0));
    chart->setMaximumValue(QPointF(0, 255));
    chart->setFrameThickness(thickness);
    chart->setSize(QSizeF(width, height));
    return chart;
}

void addFrame(ColormapChart& chart, const std::vector<double>& values)
{
    chart.beginFrame();
    for (size_t k = 0; k < values.size(); ++k)
        chart.addPoint(QPointF(double(k), values[k]));
    chart.endFrame();
}

std::vector<QRgb> row(const QImage& image, int y)
{
    std::vector<QRgb> pixels;
    for (int x = 0; x < image.width(); ++x)
        pixels.push_back(image.pixel(x, y) | 0xFF000000u);
    return pixels;
}

TEST(ColormapChartTest, ColorIndexOfValuesAtAndBeyondTheLimits)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double value, minimum, maximum;
        int index;
    } table[] = {
        { 0, 0, 255, 0 },
        { -10, 0, 255, 0 },
        { 0.49, 0, 255, 0 },
        { 0.5, 0, 255, 1 }, // rounded half up
        { 1, 0, 255, 1 },
        { 127.5, 0, 255, 128 },
        { 254.49, 0, 255, 254 },
        { 254.5, 0, 255, 255 },
        { 255, 0, 255, 255 },
        { 1e300, 0, 255, 255 },
        { 5, 0, 10, 128 },
        { -2, -4, 0, 128 },
        { nan, 0, 255, 0 },
        { -inf, 0, 255, 0 },
        { inf, 0, 255, 255 },
        { 7, 3, 3, 0 }, // maximum equal to minimum
        { 7, 9, 3, 0 }, // maximum below minimum
        { 7, 0, inf, 0 },
        { 7, nan, 255, 0 },
    };
    for (const auto& row : table)
        EXPECT_EQ(ColormapChart::colorIndex(row.value, row.minimum, row.maximum), row.index)
            << row.value << " in [" << row.minimum << ", " << row.maximum << "]";
}

TEST(ColormapChartTest, ValuesTakeTheirTableEntriesWithinTheTableBounds)
{
    const struct {
        int entries;
        std::vector<double> values;
        std::vector<QRgb> colors;
    } table[] = {
        { 256, { 0, 1, 128, 255, 300, -1 },
            { tableColor(0), tableColor(1), tableColor(128), tableColor(255), tableColor(255),
                tableColor(0) } },
        // A short table: values past its end take its last entry.
        { 3, { 0, 1, 2, 3, 255, 1000 },
            { tableColor(0), tableColor(1), tableColor(2), tableColor(2), tableColor(2), tableColor(2) } },
        { 0, { 0, 255 }, { background, background } },
    };
    for (const auto& row : table) {
        auto chart = makeChart(10, 4, 1.0, row.entries);
        addFrame(*chart, row.values);
        chart->updateImage();
        EXPECT_EQ(::row(chart->displayedImage(), 0), row.colors) << row.entries << " entries";
    }
}

// Frames kept: one row per frame thickness of the chart's extent along the
// frame axis; a thickness of 0 or less counts as 1.
TEST(ColormapChartTest, FrameBudgetFollowsExtentAndThickness)
{
    const struct {
        double width, height, thickness;
        Qt::Orientation orientation;
        int kept;
    } table[] = {
        { 10, 10, 2, Qt::Vertical, 5 },
        { 10, 10, 2.5, Qt::Vertical, 4 },
        { 10, 10.2, 2, Qt::Vertical, 6 },
        { 10, 4, 0, Qt::Vertical, 4 },
        { 10, 4, -3, Qt::Vertical, 4 },
        { 6, 100, 1, Qt::Horizontal, 6 },
        { 0, 0, 1, Qt::Vertical, 1 },
    };
    for (const auto& row : table) {
        auto chart = makeChart(row.width, row.height, row.thickness);
        chart->setOrientation(row.orientation);
        for (int i = 0; i < 20; ++i)
            addFrame(*chart, { double(i) });
        EXPECT_EQ(chart->frameCount(), row.kept) << row.width << "x" << row.height << " by " << row.thickness;
    }
}

TEST(ColormapChartTest, BeforeTheFirstGeometryChangeOnlyTheNewestFrameIsKept)
{
    ColormapChart chart;
    for (int i = 0; i < 3; ++i)
        addFrame(chart, { 1, 2 });
    EXPECT_EQ(chart.frameCount(), 1);
}

TEST(ColormapChartTest, MisusedFrameCallsWarnAndKeepTheRows)
{
    const QString wrongLength
        = QStringLiteral("WARNING: invalid number of points for frame, expected: 3, actual: 2");
    const QString removing = QStringLiteral("WARNING: removing invalid frame");
    const struct {
        const char* name;
        std::function<void(ColormapChart&)> calls;
        QStringList warnings;
        int frames;
    } table[] = {
        { "begin twice", [](ColormapChart& c) { c.beginFrame(), c.beginFrame(); },
            { QStringLiteral("WARNING: attempting to begin new frame when already active!") }, 2 },
        { "point without a frame", [](ColormapChart& c) { c.addPoint(QPointF(0, 1)); },
            { QStringLiteral("WARNING: attempting to add points when there is no active frame") }, 1 },
        { "end without a frame", [](ColormapChart& c) { c.endFrame(); }, {}, 1 },
        { "frame of another length",
            [](ColormapChart& c) {
                addFrame(c, { 9, 9 });
            },
            { wrongLength, removing }, 1 },
        { "empty frame", [](ColormapChart& c) { addFrame(c, {}); },
            { QStringLiteral("WARNING: invalid number of points for frame, expected: 3, actual: 0"),
                removing },
            1 },
    };
    for (const auto& row : table) {
        auto chart = makeChart(3, 4);
        addFrame(*chart, { 10, 20, 30 });
        chart->updateImage();
        const QImage before = chart->displayedImage();
        MessageLog log;
        row.calls(*chart);
        EXPECT_EQ(log.warnings(), row.warnings) << row.name;
        EXPECT_EQ(chart->frameCount(), row.frames) << row.name;
        chart->updateImage();
        EXPECT_EQ(chart->displayedImage(), before) << row.name;
    }
}

TEST(ColormapChartTest, FirstFrameSetsTheFrameLength)
{
    auto chart = makeChart(50, 4);
    addFrame(*chart, { 1, 2, 3, 4, 5 });
    chart->updateImage();
    EXPECT_EQ(chart->displayedImage().size(), QSize(5, 4));
    // Once the list holds only a new frame again, that frame sets the length.
    chart->reset();
    addFrame(*chart, { 1, 2 });
    chart->updateImage();
    EXPECT_EQ(chart->displayedImage().size(), QSize(2, 4));
}

// What the chart must show: the newest frame in row 0, older ones below,
// background where no kept frame is.
QImage expectedImage(const std::vector<std::vector<double>>& fed, int kept, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    for (int r = 0; r < std::min(kept, size.height()); ++r) {
        const auto& frame = fed[fed.size() - 1 - size_t(r)];
        for (size_t k = 0; k < frame.size(); ++k)
            image.setPixel(int(k), r, tableColor(ColormapChart::colorIndex(frame[k], 0, 255)));
    }
    return image;
}

// Frames that arrive between paints scroll the image and colour only the new
// rows; the result must be the image a full redraw gives, whatever the
// number of frames between paints, also when the budget drops frames while
// a frame is open.
TEST(ColormapChartTest, IncrementalScrollShowsWhatAFullRedrawShows)
{
    const int points = 4;
    for (double height : { 5.0, 5.5 }) {
        auto chart = makeChart(points, height);
        std::vector<std::vector<double>> fed;
        int margin = 0;
        for (int batch : { 1, 1, 2, 1, 3, 4, 7, 1, 1, 5, 6, 2 }) {
            for (int i = 0; i < batch; ++i) {
                std::vector<double> frame;
                for (int k = 0; k < points; ++k)
                    frame.push_back(double((fed.size() * 37 + size_t(k) * 11) % 256));
                fed.push_back(frame);
                addFrame(*chart, frame);
            }
            chart->updateImage();
            const QImage incremental = chart->displayedImage();
            const QImage expected = expectedImage(fed, chart->frameCount(), incremental.size());
            EXPECT_EQ(incremental, expected) << "height " << height << " after " << fed.size() << " frames";

            chart->setMargin(++margin); // forces a full redraw
            chart->updateImage();
            EXPECT_EQ(chart->displayedImage(), incremental) << "height " << height << " after " << fed.size();
        }
        // A paint while a frame is open shows the closed frames only.
        chart->beginFrame();
        chart->addPoint(QPointF(0, 1));
        chart->updateImage();
        EXPECT_EQ(chart->displayedImage(),
            expectedImage(fed, chart->frameCount() - 1, chart->displayedImage().size()));
        chart->reset();
        chart->updateImage();
        EXPECT_EQ(chart->displayedImage(), expectedImage(fed, 0, chart->displayedImage().size()));
    }
}

TEST(ColormapChartTest, ChartOfZeroSizeKeepsItsFramesAndDrawsNothing)
{
    auto chart = makeChart(0, 0);
    addFrame(*chart, { 10, 20 });
    addFrame(*chart, { 30, 40 });
    chart->updateImage();
    EXPECT_TRUE(chart->displayedImage().isNull());
    EXPECT_EQ(chart->frameCount(), 1);

    chart->setSize(QSizeF(2, 3));
    chart->updateImage();
    const QImage shown = chart->displayedImage();
    ASSERT_EQ(shown.size(), QSize(2, 3));
    EXPECT_EQ(row(shown, 0), (std::vector<QRgb> { tableColor(30), tableColor(40) }));
    EXPECT_EQ(row(shown, 1), (std::vector<QRgb> { background, background }));
}

// A change of range or colours redraws every row with the new colouring.
TEST(ColormapChartTest, RangeAndColourChangesRecolourEveryRow)
{
    const QRgb white = qRgb(255, 255, 255);
    const struct {
        const char* name;
        std::function<void(ColormapChart&)> change;
        int row;
        std::vector<QRgb> colors;
    } table[] = {
        { "maximum", [](ColormapChart& c) { c.setMaximumValue(QPointF(0, 510)); }, 1,
            { tableColor(0), tableColor(50) } },
        { "minimum", [](ColormapChart& c) { c.setMinimumValue(QPointF(0, 100)); }, 1,
            { tableColor(0), tableColor(0) } },
        { "colormap", [](ColormapChart& c) { c.setColormap(colormap(2)); }, 1,
            { tableColor(0), tableColor(1) } },
        { "background", [](ColormapChart& c) { c.setBackgroundColor(Qt::white); }, 2, { white, white } },
        { "transparent background", [](ColormapChart& c) { c.setBackgroundColor(QColor(10, 20, 30, 0)); }, 2,
            { qRgb(10, 20, 30), qRgb(10, 20, 30) } },
    };
    for (const auto& row : table) {
        auto chart = makeChart(2, 3);
        addFrame(*chart, { 0, 100 });
        addFrame(*chart, { 255, 255 });
        chart->updateImage();
        row.change(*chart);
        chart->updateImage();
        EXPECT_EQ(::row(chart->displayedImage(), row.row), row.colors) << row.name;
    }
}

TEST(ColormapChartTest, PropertiesNotifyOnlyRealChanges)
{
    ColormapChart chart;
    const struct {
        const char* name;
        const char* signal;
        std::function<void()> same;
        std::function<void()> changed;
    } table[] = {
        { "minimumValue", SIGNAL(minimumValueChanged()),
            [&] { chart.setMinimumValue(QPointF(1e-13, -1e-13)); },
            [&] { chart.setMinimumValue(QPointF(0, 1e-11)); } },
        { "maximumValue", SIGNAL(maximumValueChanged()), [&] { chart.setMaximumValue(QPointF(0, 0)); },
            [&] { chart.setMaximumValue(QPointF(2, 0)); } },
        { "frameThickness", SIGNAL(frameThicknessChanged()), [&] { chart.setFrameThickness(1.0 + 1e-13); },
            [&] { chart.setFrameThickness(1.5); } },
        { "margin", SIGNAL(marginChanged()), [&] { chart.setMargin(0.0); }, [&] { chart.setMargin(2.0); } },
        { "orientation", SIGNAL(orientationChanged()), [&] { chart.setOrientation(Qt::Vertical); },
            [&] { chart.setOrientation(Qt::Horizontal); } },
        { "backgroundColor", SIGNAL(backgroundColorChanged()),
            [&] { chart.setBackgroundColor(QColor(0, 0, 0, 7)); },
            [&] { chart.setBackgroundColor(Qt::red); } },
        { "colormap", SIGNAL(colormapChanged()), [&] { chart.setColormap({}); },
            [&] { chart.setColormap(colormap(2)); } },
    };
    for (const auto& row : table) {
        QSignalSpy spy(&chart, row.signal);
        row.same();
        EXPECT_EQ(spy.count(), 0) << row.name;
        row.changed();
        EXPECT_EQ(spy.count(), 1) << row.name;
        row.changed();
        EXPECT_EQ(spy.count(), 1) << row.name;
    }
    EXPECT_EQ(chart.backgroundColor(), QColor(Qt::red));
}

TEST(ColormapChartTest, ColormapReadsBackAsListsOfFourNumbers)
{
    ColormapChart chart;
    chart.setColormap({ QVariant(QVariantList { 1, 0, 0 }), QVariant(QVariantList { 0.0, 0.2, 1.0, 0.3, 7 }),
        QVariant(QVariantList { 2.0, -1.0 }) });
    const QVariantList map = chart.colormap();
    ASSERT_EQ(map.size(), 3);
    const std::vector<std::vector<double>> expected { { 1, 0, 0, 1 }, { 0, 51 / 255.0, 1, 1 },
        { 1, 0, 0, 1 } };
    for (int i = 0; i < map.size(); ++i) {
        const QVariantList entry = map[i].toList();
        ASSERT_EQ(entry.size(), 4);
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(entry[c].toDouble(), expected[size_t(i)][size_t(c)], 1e-9) << i << "," << c;
    }
}

TEST(ColormapChartDeathTest, ColormapEntryThatIsNotAListStopsTheProgram)
{
    ColormapChart chart;
    EXPECT_DEATH(chart.setColormap({ QVariant(0.5) }), "internal error");
}

} // namespace
