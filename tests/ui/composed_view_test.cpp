// The image view's composed view: what it paints against the engine's
// composer, that picking stays off while it is shown, and that the choice
// survives a restart through the profile.
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <functional>
#include <iterator>
#include <vector>

#include "app/profile.h"
#include "app/text_ids.h"
#include "document/screen_composer.h"
#include "image/dib.h"
#include "image/raster_image.h"
#include "playback/clock.h"
#include "ui/edit_dialogs.h"
#include "ui/image_canvas.h"
#include "ui/image_view_window.h"
#include "ui/main_window.h"
#include "ui/player_buttons.h"
#include "ui/test_document.h"
#include "ui/ui_test.h"

namespace zell::test {
namespace {

constexpr int kComposedButton = 1209;
// Red, green, blue, yellow (0x00BBGGRR); index 3 is the see-through one.
const uint32_t kColors[4] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF};

class FixedClock final : public Clock {
public:
    uint32_t nowMs() override { return 1000; }
};

Frame& addPicture(TestDocument& doc, int left, int top, int width, int height,
                  const std::function<uint8_t(int, int)>& index)
{
    std::vector<uint8_t> indices;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            indices.push_back(index(x, y));
    Frame& frame = doc.add(uint32_t(width), uint32_t(height), {std::begin(kColors), std::end(kColors)}, indices,
                           uint32_t(left), uint32_t(top));
    frame.transparentIndex = 3;
    frame.disposal = 1;
    return frame;
}

// An 8 x 6 screen on gray: a striped full frame, then a 4 x 3 frame at
// (2, 2) whose left half is see-through and which is then restored to the
// background, then a 2 x 2 frame at (5, 3).
void buildAnimation(TestDocument& doc)
{
    GifSettings& s = doc.document.settings;
    s.screenWidth = 8;
    s.screenHeight = 6;
    s.globalColorTable.count = 1;
    s.globalColorTable.backgroundIndex = 0;
    s.globalColorTable.setColor(0, 0x808080);
    s.useGlobalColorTable = true;
    addPicture(doc, 0, 0, 8, 6, [](int x, int y) { return uint8_t((x + y) % 3); });
    addPicture(doc, 2, 2, 4, 3, [](int x, int) { return uint8_t(x < 2 ? 3 : 1); }).disposal = 2;
    addPicture(doc, 5, 3, 2, 2, [](int, int) { return uint8_t(0); });
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

std::pair<QRect, QRect> rects(const CropDialog& dialog, const ImageViewWindow& view)
{
    const ScreenRect r = dialog.rect();
    return {QRect(int(r.left), int(r.top), int(r.width), int(r.height)), view.canvas()->cropRect()};
}

QImage paintedScreen(ImageViewWindow& view)
{
    return view.canvas()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(0, 0, 8, 6);
}

} // namespace

class ComposedViewTest : public QObject {
    Q_OBJECT
private slots:
    void theComposedViewPaintsTheEnginesScreen()
    {
        TestDocument doc;
        buildAnimation(doc);
        FixedClock clock;
        ImageViewWindow view(doc.model, &clock);
        view.resize(420, 360);
        view.show();
        doc.model.selectFrame(1);
        const QImage bare = paintedScreen(view);
        view.button(kComposedButton)->click();
        QVERIFY(view.canvas()->composed());
        // Forward one frame at a time (the kept composer), then back (a
        // fresh one), then forward by two.
        for (int row : {1, 2, 0, 2, 1}) {
            doc.model.selectFrame(row);
            const QImage expected = engineScreen(doc.document, row);
            QVERIFY(!expected.isNull());
            QCOMPARE(paintedScreen(view), expected);
        }
        // The see-through half of the small frame shows the stripes under it
        // (index 1 at (2, 2)); bare, it shows its own yellow.
        QCOMPARE(bare.pixel(2, 2), qRgb(255, 255, 0));
        QCOMPARE(paintedScreen(view).pixel(2, 2), qRgb(0, 255, 0));
        // Moving an earlier frame changes what this one is drawn on; an undo
        // takes it back.
        doc.model.selectFrame(2);
        doc.model.setAttribute({0}, FrameAttribute::Left, 1);
        QCOMPARE(paintedScreen(view).pixel(0, 0), qRgb(128, 128, 128));
        QCOMPARE(paintedScreen(view), engineScreen(doc.document, 2));
        QVERIFY(doc.model.undo());
        doc.model.selectFrame(2);
        QCOMPARE(paintedScreen(view), engineScreen(doc.document, 2));
        QCOMPARE(paintedScreen(view).pixel(0, 0), qRgb(255, 0, 0));
        // Off again, the bare frame is back.
        doc.model.selectFrame(1);
        view.button(kComposedButton)->click();
        QCOMPARE(paintedScreen(view), bare);
    }

    // What lies under the pointer in the composed view may come from an
    // earlier frame, so no index is picked there.
    void pickingWaitsForTheBareFrame()
    {
        TestDocument doc;
        buildAnimation(doc);
        FixedClock clock;
        ImageViewWindow view(doc.model, &clock);
        view.resize(420, 360);
        view.show();
        doc.model.selectFrame(1);
        view.setPickMode(kPickTransparent);
        QSignalSpy picked(&view, &ImageViewWindow::colorIndexPicked);
        view.setComposed(true);
        QTest::mouseClick(view.canvas()->viewport(), Qt::LeftButton, {}, QPoint(4, 3));
        QTest::mouseClick(view.canvas()->viewport(), Qt::RightButton, {}, QPoint(4, 3));
        QCOMPARE(picked.count(), 0);
        view.setComposed(false);
        QTest::mouseClick(view.canvas()->viewport(), Qt::LeftButton, {}, QPoint(4, 3));
        QCOMPARE(picked.count(), 1);
        QCOMPARE(picked.at(0).at(1).toInt(), 1); // (4 - 2, 3 - 2) is index 1
    }

    void theChoiceIsKeptInTheProfile()
    {
        TestDocument doc;
        buildAnimation(doc);
        doc.model.selectFrame(1);
        FixedClock clock;
        Profile profile((doc.dir.path() + "/zell.ini").toStdString());
        const auto composedAtStart = [&] {
            ImageViewWindow view(doc.model, &clock, &profile);
            return std::pair(view.canvas()->composed(), view.button(kComposedButton)->isChecked());
        };
        QCOMPARE(composedAtStart(), std::pair(false, false));
        {
            ImageViewWindow view(doc.model, &clock, &profile);
            view.button(kComposedButton)->click();
            QCOMPARE(profile.readInt("ImageView", "composed", -1), 1);
        }
        QCOMPARE(composedAtStart(), std::pair(true, true));
        {
            ImageViewWindow view(doc.model, &clock, &profile);
            view.show();
            // Started composed, it paints the composed screen at once.
            QCOMPARE(paintedScreen(view), engineScreen(doc.document, 1));
            view.button(kComposedButton)->click();
            QCOMPARE(profile.readInt("ImageView", "composed", -1), 0);
        }
        QCOMPARE(composedAtStart(), std::pair(false, false));
    }

    // At four times the 8 x 6 screen, pixel (x, y) covers viewport points
    // 4x .. 4x + 3: the rectangle (1, 1, 5, 4) is outlined from (4, 4) to
    // (23, 19).
    void aDraggedRectangleAndTheCropNumbersFollowEachOther()
    {
        TestDocument doc;
        buildAnimation(doc);
        FixedClock clock;
        ImageViewWindow view(doc.model, &clock);
        view.resize(420, 360);
        view.show();
        view.zoomSlider()->setValue(2);
        CropDialog dialog(nullptr, 8, 6);
        view.attachCropDialog(&dialog);
        QVERIFY(view.canvas()->cropping());
        QCOMPARE(view.canvas()->cropRect(), QRect(0, 0, 8, 6));
        // The dialog's numbers move the rectangle.
        dialog.setRect({1, 1, 5, 4});
        QCOMPARE(view.canvas()->cropRect(), QRect(1, 1, 5, 4));
        using Rects = std::pair<QRect, QRect>;
        const auto both = [](QRect r) { return Rects(r, r); };
        // Well inside, a drag draws a new rectangle, from the pixel pressed to
        // the one released, either way round.
        drag(view, QPoint(14, 13), QPoint(9, 5));
        QCOMPARE(rects(dialog, view), both(QRect(2, 1, 2, 3)));
        // Past the screen's edge it stops at the last pixel.
        drag(view, QPoint(5 * 4 + 1, 4 * 4 + 1), QPoint(300, 250));
        QCOMPARE(rects(dialog, view), both(QRect(5, 4, 3, 2)));
        // The bottom-right corner (31, 23) resizes, past the opposite corner
        // too; the left edge (x 4) moves alone.
        drag(view, QPoint(30, 22), QPoint(5, 5));
        QCOMPARE(rects(dialog, view), both(QRect(1, 1, 5, 4)));
        drag(view, QPoint(5, 12), QPoint(-40, 12));
        QCOMPARE(rects(dialog, view), both(QRect(0, 1, 6, 4)));
        // A larger left in the dialog leaves less width within the screen.
        dialog.setRect({6, 1, 8, 3});
        QCOMPARE(rects(dialog, view), both(QRect(6, 1, 2, 3)));
        // Closed, the dialog takes no more drags, and picking is back.
        dialog.reject();
        QVERIFY(!view.canvas()->cropping());
        view.setPickMode(kPickTransparent);
        QSignalSpy picked(&view, &ImageViewWindow::colorIndexPicked);
        drag(view, QPoint(2, 2), QPoint(20, 20));
        QCOMPARE(dialog.rect().left, 6u);
        QCOMPARE(picked.count(), 1);
    }

    // The Crop command's dialog is fed by the image view, and what was
    // dragged is what the animation is cut to.
    void theCropCommandCutsToTheDraggedRectangle()
    {
        TestDocument doc;
        buildAnimation(doc);
        doc.model.clearHistory();
        Profile profile((doc.dir.path() + "/zell.ini").toStdString());
        ScriptedPrompter prompter;
        MainWindow window(doc.model, profile, "/nonexistent/pelio.txt");
        window.show();
        ImageViewWindow& view = *window.imageView();
        view.show();
        view.zoomSlider()->setValue(2);
        QRect seen;
        prompter.dialogScript = [&](QDialog&) {
            drag(view, QPoint(5, 9), QPoint(22, 18));
            seen = view.canvas()->cropRect();
            return int(QDialog::Accepted);
        };
        window.action(Text::CropCommand)->trigger();
        QCOMPARE(prompter.dialogs, 1);
        QCOMPARE(seen, QRect(1, 2, 5, 3));
        QCOMPARE(std::pair(int(doc.document.settings.screenWidth), int(doc.document.settings.screenHeight)),
                 std::pair(5, 3));
        QVERIFY(!view.canvas()->cropping());
        QCOMPARE(prompter.unexpected, 0);
    }
};

ZELL_UI_TEST(ComposedViewTest);

} // namespace zell::test

#include "composed_view_test.moc"
