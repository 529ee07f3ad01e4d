// The image view: what it paints and picks, bare or composed (against the
// engine's composer), the crop rectangle, and how it wires the player to the
// clock, the buttons and the other windows (the player's own timing rules are
// tested with the player).
#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <functional>
#include <utility>
#include <vector>

#include "app/text_ids.h"
#include "document/screen_composer.h"
#include "image/dib.h"
#include "playback/clock.h"
#include "ui/image_canvas.h"
#include "ui/image_view_window.h"
#include "ui/player_buttons.h"
#include "ui/ui_test.h"

namespace zell::test {
namespace {

constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kYellow = 0x00FFFF;
const QRgb kGray = qRgb(0x80, 0x80, 0x80);
constexpr int kPlayButton = 1203, kTransparencyButton = 1207, kComposedButton = 1209;

class StepClock final : public Clock {
public:
    uint32_t nowMs() override { return now; }
    uint32_t now = 1000;
};

QRgb rgbOf(uint32_t color)
{
    return qRgb(colorRed(color), colorGreen(color), colorBlue(color));
}

// A frame of index(x, y) pixels in red, green, blue and yellow.
Frame& addPicture(TestDocument& doc, int width, int height, const std::function<uint8_t(int, int)>& index,
                  int left = 0, int top = 0)
{
    std::vector<uint8_t> indices;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            indices.push_back(index(x, y));
    return doc.add(uint32_t(width), uint32_t(height), {kRed, kGreen, kBlue, kYellow}, indices, uint32_t(left),
                   uint32_t(top));
}

Frame& addSolid(TestDocument& doc, int width, int height, uint8_t index)
{
    Frame& frame = addPicture(doc, width, height, [index](int, int) { return index; });
    frame.delay = 8;
    return frame;
}

// A one-entry global table: its gray background stands out from the frames.
void grayScreen(TestDocument& doc, int width, int height)
{
    doc.screen(uint16_t(width), uint16_t(height));
    doc.globalTable({0x808080});
}

// An 8 x 6 screen on gray: a striped full frame, then a 4 x 3 frame at
// (2, 2) whose left half is see-through (index 3) and which is then restored
// to the background, then a 2 x 2 frame at (5, 3).
void buildAnimation(TestDocument& doc)
{
    grayScreen(doc, 8, 6);
    for (Frame* f : {&addPicture(doc, 8, 6, [](int x, int y) { return uint8_t((x + y) % 3); }),
                     &addPicture(doc, 4, 3, [](int x, int) { return uint8_t(x < 2 ? 3 : 1); }, 2, 2),
                     &addPicture(doc, 2, 2, [](int, int) { return uint8_t(0); }, 5, 3)}) {
        f->transparentIndex = 3;
        f->disposal = 1;
    }
    doc.document.frames.frameAt(1)->disposal = 2;
    doc.model.rebuild([](Document&) {});
}

// The engine's screen after frame `index`, as the canvas would paint it.
QImage engineScreen(const Document& document, int index)
{
    ScreenComposer composer(document);
    for (int i = 0; i <= index; ++i) {
        if (!composer.composeNext())
            return {};
    }
    return dibToImage(composer.screen()).convertToFormat(QImage::Format_RGB32);
}

// A left-button drag on the canvas between two viewport points.
void drag(ImageViewWindow& view, QPoint from, QPoint to)
{
    QWidget* viewport = view.canvas()->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, (from + to) / 2);
    QTest::mouseMove(viewport, to);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
}

struct ViewFixture {
    ViewFixture() : view(doc.model, &clock)
    {
        grayScreen(doc, 8, 6);
        view.resize(420, 360);
        view.show();
    }
    // The frames added to the document are announced; `row` is shown.
    void show(int row)
    {
        doc.model.rebuild([](Document&) {});
        doc.model.selectFrame(row);
    }
    ImageCanvas& canvas() { return *view.canvas(); }
    QImage painted() { return canvas().viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QImage screen() { return painted().copy(0, 0, 8, 6); }
    void advance(uint32_t ms)
    {
        clock.now += ms;
        view.tick();
    }

    TestDocument doc;
    StepClock clock;
    ImageViewWindow view;
};

} // namespace

class ImageViewTest : public QObject {
    Q_OBJECT

private slots:
    void transparencyAndTheGlobalTableColourTheFrame()
    {
        ViewFixture f;
        // Index 2 (blue) on the diagonal is the transparent colour.
        addPicture(f.doc, 4, 4, [](int x, int y) { return uint8_t(x == y ? 2 : 3); }).transparentIndex = 2;
        f.show(0);
        QCOMPARE(f.painted().pixel(1, 1), rgbOf(kBlue));
        f.view.button(kTransparencyButton)->click();
        QVERIFY(f.painted().pixel(1, 1) == kGray && f.painted().pixel(1, 2) == rgbOf(kYellow));
        // An index beyond the table marks nothing: drawn opaque.
        f.doc.model.setAttribute({0}, FrameAttribute::Transparent, 300);
        QCOMPARE(f.painted().pixel(1, 1), rgbOf(kBlue));
        // On a global table too small for the picture the frame keeps its
        // own colours; one big enough colours it.
        f.doc.model.setAttribute({0}, FrameAttribute::LocalTable, 0);
        QCOMPARE(f.painted().pixel(1, 1), rgbOf(kBlue));
        f.doc.model.editGlobalTable([](ColorTable& t) {
            t.count = 256;
            t.setColor(2, kRed);
        });
        QCOMPARE(f.painted().pixel(1, 1), rgbOf(kRed));
    }

    // The wiring only: the timer sleeps until the player's next frame is
    // due (at most 100 ms, for the status), a speed change re-arms it and a stop asks the list for the frame
    // that comes next.
    void playbackArmsTheTimerForThePlayersNextFrame()
    {
        ViewFixture f;
        for (int i = 0; i < 3; ++i)
            addSolid(f.doc, 8, 6, uint8_t(i));
        f.show(0);
        QSignalSpy requested(&f.view, &ImageViewWindow::frameRequested);
        const QTimer& timer = f.view.playTimer();
        QTest::mouseClick(f.view.button(kPlayButton), Qt::LeftButton);
        QVERIFY(f.view.player().playing());
        QCOMPARE(timer.interval(), int(f.view.player().msUntilDue()));
        f.advance(20);
        f.view.speedSlider()->setValue(1);
        QCOMPARE(timer.interval(), int(f.view.player().msUntilDue()));
        f.advance(f.view.player().msUntilDue());
        QVERIFY(f.view.frameSlider()->value() == 1 && f.painted().pixel(3, 3) == rgbOf(kGreen));
        f.view.speedSlider()->setValue(-2);
        QCOMPARE(timer.interval(), 100); // the status counts the wait down
        QTest::mouseClick(f.view.button(kPlayButton), Qt::LeftButton);
        QVERIFY(!f.view.player().playing());
        QCoreApplication::processEvents();
        QCOMPARE(QList<QList<QVariant>>(requested.begin(), requested.end()), QList<QList<QVariant>>{{2}});
    }

    void theMainWindowFollowsTheViewAndTakesItsPicks()
    {
        WindowFixture f(0);
        grayScreen(f.doc, 8, 6);
        for (uint8_t colour : {1, 2, 0})
            addSolid(f.doc, 8, 6, colour).transparentIndex = 3;
        f.announce();
        MainWindow& window = f.window;
        ImageViewWindow& view = *window.imageView();
        view.show();
        f.list().select(1);
        QCOMPARE(view.frameSlider()->value(), 1);
        // Playing holds the main window disabled until it stops, hidden or
        // minimised too.
        for (int way = 0; way < 3; ++way) {
            view.togglePlay();
            QVERIFY(!window.isEnabled() && view.isEnabled());
            if (way == 0)
                view.togglePlay();
            else if (way == 1)
                view.showMinimized();
            else
                view.hide();
            QVERIFY(!view.player().playing() && window.isEnabled());
            view.showNormal();
        }
        QCoreApplication::processEvents();
        f.list().select(0);
        // A right click in transparent mode clears the frame's transparent colour.
        view.setPickMode(kPickTransparent);
        QTest::mouseClick(view.canvas()->viewport(), Qt::RightButton, {}, QPoint(2, 2));
        QCOMPARE(f.frame(0).transparentIndex, kNoIndex);
        QTest::mouseClick(view.canvas()->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(f.frame(0).transparentIndex == 1 && f.frame(1).transparentIndex == 3);
    }

    // What lies under the pointer in the composed view may come from an
    // earlier frame, so no index is picked there.
    void theComposedViewPaintsTheEnginesScreenAndPicksNothing()
    {
        ViewFixture v;
        buildAnimation(v.doc);
        v.doc.model.selectFrame(1);
        const QImage bare = v.screen();
        // The see-through half of the small frame shows the stripes under it.
        QVERIFY(bare != engineScreen(v.doc.document, 1));
        v.view.button(kComposedButton)->click();
        v.view.setPickMode(kPickTransparent);
        QSignalSpy picked(&v.view, &ImageViewWindow::colorIndexPicked);
        QTest::mouseClick(v.canvas().viewport(), Qt::LeftButton, {}, QPoint(4, 3));
        // Forward one frame at a time (the kept composer), then back (a
        // fresh one), then forward by two.
        for (int row : {1, 2, 0, 2, 1}) {
            v.doc.model.selectFrame(row);
            const QImage expected = engineScreen(v.doc.document, row);
            QVERIFY(!expected.isNull());
            QCOMPARE(v.screen(), expected);
        }
        // Moving an earlier frame changes what this one is drawn on; an undo
        // takes it back.
        v.doc.model.selectFrame(2);
        const QImage unmoved = engineScreen(v.doc.document, 2);
        v.doc.model.setAttribute({0}, FrameAttribute::Left, 1);
        QVERIFY(engineScreen(v.doc.document, 2) != unmoved);
        QCOMPARE(v.screen(), engineScreen(v.doc.document, 2));
        QVERIFY(v.doc.model.undo());
        v.doc.model.selectFrame(2);
        QCOMPARE(v.screen(), unmoved);
        // Off again, the bare frame is back, and picks.
        v.doc.model.selectFrame(1);
        v.view.button(kComposedButton)->click();
        QCOMPARE(v.screen(), bare);
        QTest::mouseClick(v.canvas().viewport(), Qt::LeftButton, {}, QPoint(4, 3));
        QCOMPARE(picked.count(), 1);
        QCOMPARE(picked.at(0).at(1).toInt(), 1); // (4 - 2, 3 - 2) is index 1
    }

    // The Crop command's dialog is fed by the image view, and what was
    // dragged is what the animation is cut to.
    void theCropCommandCutsToTheDraggedRectangle()
    {
        WindowFixture f(0);
        buildAnimation(f.doc);
        f.announce();
        ImageViewWindow& view = *f.window.imageView();
        view.show();
        view.zoomSlider()->setValue(2);
        QRect seen;
        f.prompter.dialogScript = [&](QDialog&) {
            drag(view, QPoint(5, 9), QPoint(22, 18));
            seen = view.canvas()->cropRect();
            return int(QDialog::Accepted);
        };
        f.window.action(Text::CropCommand)->trigger();
        QVERIFY(f.prompter.dialogs == 1 && seen == QRect(1, 2, 5, 3) && !view.canvas()->cropping());
        const GifSettings& s = f.doc.document.settings;
        QVERIFY(s.screenWidth == 5 && s.screenHeight == 3 && f.prompter.unexpected == 0);
    }
};

ZELL_UI_TEST(ImageViewTest);

} // namespace zell::test

#include "image_view_test.moc"
