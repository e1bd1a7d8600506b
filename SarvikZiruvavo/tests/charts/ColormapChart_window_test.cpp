// The heat map drawn by its shader in a real window, read back pixel by pixel.
#include "QmlTypes.hpp"
#include "charts/ColormapChart.hpp"

#include <QFile>
#include <QQuickItem>
#include <QQuickView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

// Values 0 to 255 map to the red levels 0 to 255.
const char* const scene = R"(
import QtQuick 2.15
import com.sarvik.colormapchart 1.0

Rectangle {
    width: 320; height: 330
    color: "white"
    property var ramp: {
        var map = [];
        for (var i = 0; i < 256; ++i)
            map.push([i / 255, 0, 0]);
        return map;
    }
    SvColormapChart {
        objectName: "vertical"
        width: 300; height: 30
        frameThickness: 10
        minimumValue: Qt.point(0, 0); maximumValue: Qt.point(0, 255)
        colormap: parent.ramp
    }
    SvColormapChart {
        objectName: "horizontal"
        y: 40; width: 30; height: 270
        orientation: Qt.Horizontal
        frameThickness: 10
        minimumValue: Qt.point(0, 0); maximumValue: Qt.point(0, 255)
        colormap: parent.ramp
    }
    SvColormapChart {
        objectName: "empty"
        y: 320; width: 0; height: 0
        colormap: parent.ramp
    }
}
)";

using Frame = std::vector<double>;

// The value the shader shows at position s (0 to 1) along a frame: a linear
// blend of the two values around it.
double blended(const Frame& frame, double s)
{
    const double step = 1.0 / double(frame.size() - 1);
    const size_t k = std::min(size_t(std::floor(s / step)), frame.size() - 2);
    const double weight = (s - double(k) * step) / step;
    return frame[k] + weight * (frame[k + 1] - frame[k]);
}

class ColormapChartWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerQmlTypes();
        ASSERT_TRUE(folder.isValid());
        QFile file(folder.filePath(QStringLiteral("scene.qml")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(scene);
        file.close();
        view.setSource(QUrl::fromLocalFile(file.fileName()));
        ASSERT_EQ(view.status(), QQuickView::Ready);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    ColormapChart* chart(const char* name)
    {
        return view.rootObject()->findChild<ColormapChart*>(QLatin1String(name));
    }

    static void feed(ColormapChart* chart, const Frame& frame)
    {
        chart->beginFrame();
        for (double value : frame)
            chart->addPoint(QPointF(0, value));
        chart->endFrame();
    }

    // Checks five points along each of the three newest frames' rows; at(band,
    // s) gives the window pixel of frame band (0 the newest) at position s.
    static void expectBands(const QImage& grab, const std::vector<Frame>& fed,
        const std::function<QPoint(int band, double s)>& at, const char* name)
    {
        for (int band = 0; band < 3; ++band) {
            const Frame& frame = fed[fed.size() - 1 - size_t(band)];
            for (double s : { 0.01, 0.25, 0.5, 0.75, 0.99 }) {
                const QPoint p = at(band, s);
                const QColor color = grab.pixelColor(p);
                EXPECT_NEAR(color.red(), blended(frame, s), 3.0)
                    << name << " frame " << fed.size() - 1 - size_t(band) << " at s=" << s;
                EXPECT_EQ(color.green(), 0) << name;
                EXPECT_EQ(color.blue(), 0) << name;
            }
        }
    }

    QTemporaryDir folder;
    QQuickView view;
};

TEST_F(ColormapChartWindowTest, ShowsTheNewestFramesAsBlendedRowsWhileScrolling)
{
    ColormapChart* vertical = chart("vertical");
    ColormapChart* horizontal = chart("horizontal");
    ColormapChart* empty = chart("empty");
    ASSERT_TRUE(vertical && horizontal && empty);

    const std::vector<Frame> frames { { 0, 100, 200 }, { 50, 150, 250 }, { 255, 128, 0 }, { 10, 20, 30 },
        { 200, 0, 200 }, { 90, 180, 90 } };
    std::vector<Frame> fed;
    for (const Frame& frame : frames) {
        fed.push_back(frame);
        for (ColormapChart* c : { vertical, horizontal, empty })
            feed(c, frame);
        if (fed.size() < 3)
            continue;
        // Each grab renders the window anew: every new frame turns the ring
        // of image rows by one, so the rows wrap at every position in turn.
        const QImage grab = view.grabWindow();
        ASSERT_FALSE(grab.isNull());
        // Vertical: rows of 10 pixels, newest at the top, values left to right.
        expectBands(
            grab, fed, [](int band, double s) { return QPoint(int(s * 300), band * 10 + 5); }, "vertical");
        // Horizontal: columns of 10 pixels, newest at the right, values bottom to top.
        expectBands(
            grab, fed, [](int band, double s) { return QPoint(25 - band * 10, 40 + int((1 - s) * 270)); },
            "horizontal");
    }
    EXPECT_EQ(empty->frameCount(), 1);
}

} // namespace
