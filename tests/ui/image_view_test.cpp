#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include <functional>
#include <vector>

#include "app/profile.h"
#include "document/project_file.h"
#include "image/dib.h"
#include "image/raster_image.h"
#include "ui/frame_list_view.h"
#include "ui/image_canvas.h"
#include "ui/image_view_window.h"
#include "ui/main_window.h"
#include "ui/player_buttons.h"
#include "ui/test_document.h"
#include "ui/thumbnail_cache.h"
#include "ui/ui_test.h"

namespace zell::test {
namespace {

class StepClock final : public Clock {
public:
    uint32_t nowMs() override { return now; }
    uint32_t now = 1000;
};

constexpr uint32_t kRed = 0x0000FF;   // 0x00BBGGRR
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kYellow = 0x00FFFF;
const std::vector<uint32_t> kColors{kRed, kGreen, kBlue, kYellow};

QRgb rgbOf(uint32_t color)
{
    return qRgb(colorRed(color), colorGreen(color), colorBlue(color));
}

// A frame whose work file is a real GIF with index(x, y) pixels of four
// colours (its table has 256 entries, the rest black).
Frame& addPicture(TestDocument& doc, int width, int height, const std::function<uint8_t(int, int)>& index)
{
    const DibHeader h = makeDibHeader(width, -height, 8, 4);
    ByteBuffer dib;
    const uint64_t stride = dibStride(width, 8);
    dib.allocate(uint32_t(kDibHeaderSize + 16 + stride * uint64_t(height)));
    std::fill(dib.data(), dib.data() + dib.size(), uint8_t(0));
    writeDibHeader(dib.data(), h);
    for (int i = 0; i < 4; ++i) {
        uint8_t* quad = dib.data() + kDibHeaderSize + 4 * i;
        quad[0] = colorBlue(kColors[size_t(i)]);
        quad[1] = colorGreen(kColors[size_t(i)]);
        quad[2] = colorRed(kColors[size_t(i)]);
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            dib.data()[dibRowOffset(h, uint32_t(y)) + uint64_t(x)] = index(x, y);
    RasterImage picture;
    Frame& frame = doc.add(false);
    uint32_t transparent = kNoIndex;
    if (!picture.setDib(dib.bytes()) || !doc.work.newWorkFileName("gif", frame.workFile)
        || !picture.saveGif(frame.workFile.path(), 8, transparent))
        qFatal("cannot write a test frame");
    frame.width = uint16_t(width);
    frame.height = uint16_t(height);
    frame.useLocalColorTable = 1;
    frame.delay = 8;
    return frame;
}

Frame& addSolid(TestDocument& doc, int width, int height, uint8_t index)
{
    return addPicture(doc, width, height, [index](int, int) { return index; });
}

struct ViewFixture {
    explicit ViewFixture(int screenWidth = 8, int screenHeight = 6) : view(doc.model, &clock)
    {
        doc.document.settings.screenWidth = uint16_t(screenWidth);
        doc.document.settings.screenHeight = uint16_t(screenHeight);
        view.setScreenSize(screenWidth, screenHeight);
        view.setBackgroundColor(0x808080);
        view.resize(420, 360);
        view.show();
    }
    ImageCanvas& canvas() { return *view.canvas(); }
    QImage painted() { return canvas().viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
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
    void zoomScalesTheFrameAndLeavesAShadowMargin()
    {
        ViewFixture f;
        // Left column red, the rest green; 4 x 2 at (2, 2) of an 8 x 6 screen.
        Frame& frame = addPicture(f.doc, 4, 2, [](int x, int) { return uint8_t(x == 0 ? 0 : 1); });
        frame.left = 2;
        frame.top = 2;
        f.view.setFrameCount(1);
        f.view.showFrame(0);
        const QRgb shadow = f.canvas().palette().color(QPalette::Dark).rgb();
        const QRgb background = qRgb(0x80, 0x80, 0x80);

        QImage p = f.painted();
        QCOMPARE(p.pixel(0, 0), background);
        QCOMPARE(p.pixel(2, 2), rgbOf(kRed));
        QCOMPARE(p.pixel(3, 3), rgbOf(kGreen));
        QCOMPARE(p.pixel(6, 2), background);
        QCOMPARE(p.pixel(8, 0), shadow);
        QCOMPARE(p.pixel(0, 6), shadow);

        const int page = f.canvas().horizontalScrollBar()->pageStep();
        f.view.zoomSlider()->setValue(3);
        p = f.painted();
        for (int y = 16; y < 24; ++y)
            for (int x = 16; x < 24; ++x)
                QCOMPARE(p.pixel(x, y), rgbOf(kRed));
        QCOMPARE(p.pixel(24, 16), rgbOf(kGreen));
        QCOMPARE(p.pixel(56, 40), background);
        QCOMPARE(p.pixel(64, 10), shadow);
        QCOMPARE(p.pixel(10, 48), shadow);

        f.view.zoomSlider()->setValue(-1);
        QCOMPARE(f.canvas().horizontalScrollBar()->pageStep(), 2 * page);
        p = f.painted();
        QCOMPARE(p.pixel(0, 0), background);
        QCOMPARE(p.pixel(2, 1), rgbOf(kGreen));
        QCOMPARE(p.pixel(3, 1), background);
        QCOMPARE(p.pixel(4, 0), shadow);
        QCOMPARE(p.pixel(0, 3), shadow);
    }

    void transparencyShowsTheBackgroundThroughTheMask()
    {
        ViewFixture f;
        // Index 2 (blue) on the diagonal is the transparent colour.
        Frame& frame = addPicture(f.doc, 4, 4, [](int x, int y) { return uint8_t(x == y ? 2 : 3); });
        frame.transparentIndex = 2;
        f.view.setFrameCount(1);
        f.view.showFrame(0);
        QImage p = f.painted();
        QCOMPARE(p.pixel(1, 1), rgbOf(kBlue));
        QCOMPARE(p.pixel(1, 2), rgbOf(kYellow));

        f.view.button(1207)->click();
        p = f.painted();
        QCOMPARE(p.pixel(1, 1), qRgb(0x80, 0x80, 0x80));
        QCOMPARE(p.pixel(3, 3), qRgb(0x80, 0x80, 0x80));
        QCOMPARE(p.pixel(1, 2), rgbOf(kYellow));

        // An index beyond the table marks nothing: drawn opaque.
        frame.transparentIndex = 300;
        f.view.showFrame(0);
        QCOMPARE(f.painted().pixel(1, 1), rgbOf(kBlue));
    }

    void tooSmallPaletteKeepsTheColoursAndSaysSo()
    {
        ViewFixture f;
        addSolid(f.doc, 2, 2, 1);
        f.view.setFrameCount(1);
        f.view.showFrame(0);
        ColorTable two;
        two.count = 2;
        two.setColor(1, kBlue);
        f.view.setPalette(two);
        QCOMPARE(f.painted().pixel(0, 0), rgbOf(kGreen));
        QCOMPARE(f.view.statusText(), QStringLiteral("カラーテーブルのサイズが不足しています"));
        ColorTable full = two;
        full.count = 256;
        f.view.setPalette(full);
        QCOMPARE(f.painted().pixel(0, 0), rgbOf(kBlue));
    }

    void pickingFindsTheIndexUnderTheCursor()
    {
        ViewFixture f(200, 200);
        Frame& frame = addPicture(f.doc, 64, 64, [](int x, int y) { return uint8_t((x / 8 + y / 8) % 4); });
        frame.left = 100;
        frame.top = 50;
        f.view.setFrameCount(1);
        f.view.showFrame(0);
        f.view.zoomSlider()->setValue(2);
        f.canvas().horizontalScrollBar()->setValue(60);
        f.canvas().verticalScrollBar()->setValue(30);
        QSignalSpy picks(&f.view, &ImageViewWindow::colorIndexPicked);
        QWidget* surface = f.canvas().viewport();

        // Colour-edit mode: clicks pick nothing.
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(200, 120));
        QCOMPARE(picks.count(), 0);

        // Canvas (200, 120) at 4 times from (60, 30) is screen (110, 60),
        // frame pixel (10, 10): index (1 + 1) % 4.
        f.view.setPickMode(kPickTransparent);
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(201, 122));
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(4 * 20, 4 * 20));
        QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(201, 122));
        f.view.setPickMode(kPickBackground);
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(4 * 48 + 3, 4 * 30));
        QCOMPARE(picks.count(), 4);
        QCOMPARE(picks.at(0), (QList<QVariant>{1, 2}));
        QCOMPARE(picks.at(1), (QList<QVariant>{1, -1})); // (80, 50): left of the frame
        QCOMPARE(picks.at(2), (QList<QVariant>{1, -1}));
        QCOMPARE(picks.at(3), (QList<QVariant>{0, (13 + 1) % 4})); // screen (108, 60)
    }

    void wheelScrollsByTheDesktopsLines()
    {
        QApplication::setWheelScrollLines(3);
        ViewFixture f(100, 2000);
        addSolid(f.doc, 100, 2000, 0);
        f.view.setFrameCount(1);
        f.view.showFrame(0);
        QScrollBar* bar = f.canvas().verticalScrollBar();
        const int line = ImageCanvas::lineOf(*bar);
        QVERIFY(bar->maximum() > 20 * line);
        const auto turn = [&](int delta, Qt::KeyboardModifiers modifiers) {
            const QPointF at(10, 10);
            QWheelEvent wheel(at, f.canvas().viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                              modifiers, Qt::NoScrollPhase, false);
            QApplication::sendEvent(f.canvas().viewport(), &wheel);
        };
        turn(-120, Qt::NoModifier);
        QCOMPARE(bar->value(), 3 * line);
        turn(-120, Qt::ControlModifier);
        turn(-120, Qt::ShiftModifier);
        QCOMPARE(bar->value(), 3 * line);
        turn(120, Qt::NoModifier);
        QCOMPARE(bar->value(), 0);

        // A page moves seven lines; a setting beyond seven lines a notch too.
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(bar->value(), 7 * line);
        QApplication::setWheelScrollLines(40);
        ViewFixture g(100, 2000);
        g.view.setFrameCount(0);
        QScrollBar* other = g.canvas().verticalScrollBar();
        const QPointF at(10, 10);
        QWheelEvent wheel(at, at, QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(g.canvas().viewport(), &wheel);
        QCOMPARE(other->value(), 7 * ImageCanvas::lineOf(*other));
        QApplication::setWheelScrollLines(3);
    }

    void resizingKeepsTheControlsAtTheBottomAndGrowsTheCanvas()
    {
        ViewFixture f;
        auto bottomGap = [&](const QWidget* w) {
            QCoreApplication::sendPostedEvents();
            return f.view.height() - w->mapTo(&f.view, QPoint(0, w->height())).y();
        };
        const int buttons = bottomGap(f.view.speedSlider()), slider = bottomGap(f.view.frameSlider());
        const int canvasHeight = f.canvas().height();
        f.view.resize(600, 520);
        QCOMPARE(bottomGap(f.view.speedSlider()), buttons);
        QCOMPARE(bottomGap(f.view.frameSlider()), slider);
        QCOMPARE(f.canvas().height(), canvasHeight + 160);
    }

    void titleCountsAndTheSliderSelectsFrames()
    {
        ViewFixture f;
        QCOMPARE(f.view.windowTitle(), QStringLiteral("イメージ ビュー  [ 0 /  0]"));
        for (int i = 0; i < 11; ++i)
            addSolid(f.doc, 2, 2, uint8_t(i % 4));
        f.view.setFrameCount(11);
        f.view.showFrame(2);
        QCOMPARE(f.view.windowTitle(), QStringLiteral("イメージ ビュー  [ 3 / 11]"));
        QSignalSpy requested(&f.view, &ImageViewWindow::frameRequested);
        QScrollBar* slider = f.view.frameSlider();
        slider->triggerAction(QAbstractSlider::SliderPageStepAdd);
        slider->triggerAction(QAbstractSlider::SliderSingleStepSub);
        slider->triggerAction(QAbstractSlider::SliderToMaximum);
        slider->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(requested.count(), 3);
        QCOMPARE(requested.at(0).at(0).toInt(), 4); // a page is a fifth of 10
        QCOMPARE(requested.at(1).at(0).toInt(), 3);
        QCOMPARE(requested.at(2).at(0).toInt(), 10);
        QCOMPARE(f.view.windowTitle(), QStringLiteral("イメージ ビュー  [11 / 11]"));

        // One frame leaves nothing to slide.
        f.view.setFrameCount(1);
        QVERIFY(!slider->isEnabled());
        QCOMPARE(f.view.windowTitle(), QStringLiteral("イメージ ビュー  [ 0 /  0]"));
    }

    void playbackFollowsTheClockAndTheSpeedAtOnce()
    {
        ViewFixture f;
        for (int i = 0; i < 3; ++i)
            addSolid(f.doc, 8, 6, uint8_t(i));
        f.view.setFrameCount(3);
        f.view.showFrame(0);
        QSignalSpy busy(&f.view, &ImageViewWindow::busyChanged);
        f.view.togglePlay();
        QVERIFY(f.view.player().playing());
        QCOMPARE(busy.count(), 1);
        QCOMPARE(f.painted().pixel(3, 3), rgbOf(kRed));
        const QTimer& timer = f.view.playTimer();
        QVERIFY(timer.isActive());
        QCOMPARE(timer.interval(), 80);

        f.advance(20);
        QCOMPARE(timer.interval(), 60);
        // Twice the speed: 40 ms of the 80 are due, 20 have passed.
        f.view.speedSlider()->setValue(1);
        QCOMPARE(timer.interval(), 20);
        QCOMPARE(int(f.view.player().msUntilDue()), 20);
        f.advance(19);
        QCOMPARE(f.view.frameSlider()->value(), 0);
        f.advance(1);
        QCOMPARE(f.view.frameSlider()->value(), 1);
        QCOMPARE(f.view.windowTitle(), QStringLiteral("イメージ ビュー  [ 2 /  3]"));
        QCOMPARE(f.painted().pixel(3, 3), rgbOf(kGreen));
        QCOMPARE(timer.interval(), 40);

        // Half the speed mid-wait: the remaining wait grows at once.
        f.advance(10);
        f.view.speedSlider()->setValue(-1);
        QCOMPARE(timer.interval(), 100); // 160 - 10 due, woken every 100 ms to count down
        QCOMPARE(int(f.view.player().msUntilDue()), 150);
    }

    void userInputEndsAWait()
    {
        ViewFixture f;
        addSolid(f.doc, 8, 6, 0).userInput = 1;
        f.doc.document.frames.frameAt(0)->delay = 0;
        addSolid(f.doc, 8, 6, 1);
        f.view.setFrameCount(2);
        f.view.showFrame(0);
        QSignalSpy palette(&f.view, &ImageViewWindow::paletteToggleRequested);
        f.view.togglePlay();
        // Waiting for the user: nothing to wake up for.
        QVERIFY(!f.view.playTimer().isActive());

        // A click on a control is no input; a key anywhere is, and is eaten.
        QTest::mouseClick(f.view.speedSlider(), Qt::LeftButton);
        QVERIFY(!f.view.playTimer().isActive());
        QTest::keyClick(f.view.speedSlider(), Qt::Key_C, Qt::ShiftModifier);
        QCOMPARE(palette.count(), 0);
        QCOMPARE(f.view.speedSlider()->value(), 0);
        QVERIFY(f.view.playTimer().isActive());
        QCOMPARE(f.view.playTimer().interval(), 0);
        f.advance(0);
        QCOMPARE(f.view.frameSlider()->value(), 1);

        // Frame 0 waits again after the wrap; a click on the canvas ends it.
        f.advance(80);
        QCOMPARE(f.view.frameSlider()->value(), 0);
        QVERIFY(!f.view.playTimer().isActive());
        QTest::mouseClick(f.canvas().viewport(), Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(f.view.playTimer().interval(), 0);

        // Stopped, Shift+C asks for the palette window.
        f.view.togglePlay();
        QTest::keyClick(f.view.speedSlider(), Qt::Key_C, Qt::ShiftModifier);
        QCOMPARE(palette.count(), 1);
    }

    void buttonsShowThePlayerState()
    {
        ViewFixture f;
        for (int i = 0; i < 3; ++i)
            addSolid(f.doc, 8, 6, uint8_t(i));
        f.view.setFrameCount(3);
        f.view.showFrame(0);
        PlayerButton* play = f.view.button(1203);
        PlayerButton* fast = f.view.button(1204);
        PlayerButton* step = f.view.button(1205);
        // Inside the stop sign's square, beside the play sign's triangle.
        const auto corner = [](QWidget* w) { return w->grab().toImage().pixel(w->width() / 3, w->height() / 3); };
        QVERIFY(corner(play) != qRgb(0, 0, 0));

        QTest::mouseClick(fast, Qt::LeftButton);
        QVERIFY(fast->looksPushed() && !step->looksPushed());
        QTest::mouseClick(step, Qt::LeftButton);
        QVERIFY(!fast->looksPushed() && step->looksPushed());
        QTest::mouseClick(play, Qt::LeftButton);
        QVERIFY(f.view.player().playing() && play->playing());
        QCOMPARE(corner(play), qRgb(0, 0, 0)); // the stop sign
        QVERIFY(!f.view.button(1207)->isEnabled());
        QCOMPARE(f.view.playTimer().interval(), 100); // frame-step: 1024 ms, redrawn meanwhile
        QTest::mouseClick(step, Qt::LeftButton);
        QVERIFY(!step->looksPushed());
        QCOMPARE(f.view.playTimer().interval(), 0); // leaving a mode shows the next frame now
        f.advance(0);
        QCOMPARE(f.view.frameSlider()->value(), 1);

        // Stop: the list is asked for the frame that would have come next.
        QSignalSpy requested(&f.view, &ImageViewWindow::frameRequested);
        QSignalSpy busy(&f.view, &ImageViewWindow::busyChanged);
        QTest::mouseClick(play, Qt::LeftButton);
        QVERIFY(!f.view.player().playing() && !play->playing());
        QVERIFY(!f.view.playTimer().isActive());
        QVERIFY(f.view.button(1207)->isEnabled());
        QCOMPARE(busy.count(), 1);
        QCOMPARE(busy.at(0).at(0).toBool(), false);
        QCoreApplication::processEvents();
        QCOMPARE(requested.count(), 1);
        QCOMPARE(requested.at(0).at(0).toInt(), 2);

        // Esc stops and hides.
        f.view.togglePlay();
        QTest::keyClick(&f.view, Qt::Key_Escape);
        QVERIFY(!f.view.player().playing());
        QVERIFY(!f.view.isVisible());
    }

    void thumbnailsShowTheFramesColours()
    {
        // Wrongly offset rows read beyond the picture (and its end).
        TestDocument doc;
        addPicture(doc, 8, 6, [](int, int y) { return uint8_t(y < 3 ? 1 : 2); });
        ThumbnailCache cache;
        const QImage small = cache.thumbnail(doc.model, 0);
        QVERIFY(!small.isNull());
        QCOMPARE(small.pixel(0, 0), rgbOf(kGreen));
        QCOMPARE(small.pixel(small.width() - 1, small.height() - 1), rgbOf(kBlue));
    }

    void mainWindowKeepsTheViewAndTakesItsPicks()
    {
        TestDocument doc;
        doc.document.settings.screenWidth = 8;
        doc.document.settings.screenHeight = 6;
        addSolid(doc, 8, 6, 1).transparentIndex = 3;
        addSolid(doc, 8, 6, 2);
        Profile profile((doc.dir.path() + "/zell.ini").toStdString());
        ScriptedPrompter prompter;
        MainWindow window(doc.model, profile, "/nonexistent/pelio.txt");
        window.show();
        ImageViewWindow& view = *window.imageView();
        view.show();
        window.frameList()->select(1);
        QCOMPARE(view.frameSlider()->value(), 1);
        window.frameList()->select(0);
        QCOMPARE(view.canvas()->screenSize(), QSize(8, 6));

        // Playing holds the main window disabled.
        view.togglePlay();
        QVERIFY(!window.isEnabled() && view.isEnabled());
        view.togglePlay();
        QVERIFY(window.isEnabled());
        QCoreApplication::processEvents();
        QCOMPARE(doc.model.currentIndex(), 1); // the frame that would have come next

        // Minimised or hidden, the view stops so that the main window comes back.
        view.togglePlay();
        view.showMinimized();
        QVERIFY(!view.player().playing() && window.isEnabled());
        view.showNormal();
        view.togglePlay();
        view.hide();
        QVERIFY(!view.player().playing() && window.isEnabled());
        view.show();
        QCoreApplication::processEvents();
        window.frameList()->select(0);

        // A right click in transparent mode clears the frame's transparent colour.
        view.setPickMode(kPickTransparent);
        QTest::mouseClick(view.canvas()->viewport(), Qt::RightButton, {}, QPoint(2, 2));
        QCOMPARE(doc.model.frameAt(0)->transparentIndex, kNoIndex);
        QTest::mouseClick(view.canvas()->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(doc.model.frameAt(0)->transparentIndex, uint16_t(1));
        QCOMPARE(doc.model.frameAt(1)->transparentIndex, kNoIndex);
    }

    void titleSliderAndPictureAreRightAfterAProjectOpenAndALongCommand()
    {
        TestDocument doc;
        doc.document.settings.screenWidth = 8;
        doc.document.settings.screenHeight = 6;
        for (uint8_t colour : {1, 2, 0})
            addSolid(doc, 8, 6, colour);
        doc.model.clearHistory();
        const QString project = doc.dir.path() + "/p.zpj";
        QVERIFY(saveProject(doc.document, project.toStdString()));
        Profile profile((doc.dir.path() + "/zell.ini").toStdString());
        ScriptedPrompter prompter;
        MainWindow window(doc.model, profile, "/nonexistent/pelio.txt");
        window.show();
        ImageViewWindow& view = *window.imageView();
        view.show();
        const auto painted = [&view] { return view.canvas()->viewport()->grab().toImage().pixel(3, 3); };
        window.frameList()->select(2);
        QCOMPARE(view.windowTitle(), QStringLiteral("イメージ ビュー  [ 3 /  3]"));

        // The window is busy while the project loads; the counter is not.
        prompter.dialogScript = [project](QDialog& dialog) {
            static_cast<QFileDialog&>(dialog).selectFile(project);
            return int(QDialog::Accepted);
        };
        window.action(32773)->trigger();
        QVERIFY(view.isEnabled());
        QCOMPARE(view.windowTitle(), QStringLiteral("イメージ ビュー  [ 1 /  3]"));
        QCOMPARE(view.frameSlider()->value(), 0);
        QCOMPARE(painted(), rgbOf(kGreen));

        window.frameList()->select(1);
        prompter.dialogScript = [](QDialog&) { return int(QDialog::Accepted); };
        window.action(32785)->trigger(); // optimise, which shows the first frame
        QCOMPARE(view.windowTitle(), QStringLiteral("イメージ ビュー  [ 1 /  3]"));
        QCOMPARE(view.frameSlider()->value(), 0);
        QCOMPARE(painted(), rgbOf(kGreen));
        QCOMPARE(prompter.unexpected, 0);
    }
};

ZELL_UI_TEST(ImageViewTest);

} // namespace zell::test

#include "image_view_test.moc"
