// The image view's composed view: what it paints against the engine's
// composer, that picking stays off while it is shown, and that the choice
// survives a restart through the profile.
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <functional>

#include "app/profile.h"
#include "app/text_ids.h"
#include "document/screen_composer.h"
#include "image/dib.h"
#include "ui/edit_dialogs.h"
#include "ui/image_canvas.h"
#include "ui/image_view_window.h"
#include "ui/player_buttons.h"
#include "ui/ui_test.h"
#include "ui/view_pictures.h"

namespace zell::test {
namespace {

constexpr int kComposedButton = 1209;

// A frame of index(x, y) whose index 3 is the see-through one.
Frame& addLayer(TestDocument& doc, int left, int top, int width, int height,
                const std::function<uint8_t(int, int)>& index)
{
    Frame& frame = addPicture(doc, width, height, index, left, top);
    frame.transparentIndex = 3;
    frame.disposal = 1;
    return frame;
}

// An 8 x 6 screen on gray: a striped full frame, then a 4 x 3 frame at
// (2, 2) whose left half is see-through and which is then restored to the
// background, then a 2 x 2 frame at (5, 3).
void buildAnimation(TestDocument& doc)
{
    grayScreen(doc, 8, 6);
    addLayer(doc, 0, 0, 8, 6, [](int x, int y) { return uint8_t((x + y) % 3); });
    addLayer(doc, 2, 2, 4, 3, [](int x, int) { return uint8_t(x < 2 ? 3 : 1); }).disposal = 2;
    addLayer(doc, 5, 3, 2, 2, [](int, int) { return uint8_t(0); });
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

struct Animation {
    Animation() { buildAnimation(doc); }
    TestDocument doc;
    StepClock clock;
};

// The animation in a shown image view.
struct Viewed : Animation {
    Viewed()
    {
        view.resize(420, 360);
        view.show();
    }
    ImageViewWindow view{doc.model, &clock};
};

} // namespace

class ComposedViewTest : public QObject {
    Q_OBJECT
private slots:
    void theComposedViewPaintsTheEnginesScreen()
    {
        Viewed v;
        v.doc.model.selectFrame(1);
        const QImage bare = paintedScreen(v.view);
        // The see-through half of the small frame shows the stripes under it.
        QVERIFY(bare != engineScreen(v.doc.document, 1));
        v.view.button(kComposedButton)->click();
        QVERIFY(v.view.canvas()->composed());
        // Forward one frame at a time (the kept composer), then back (a
        // fresh one), then forward by two.
        for (int row : {1, 2, 0, 2, 1}) {
            v.doc.model.selectFrame(row);
            const QImage expected = engineScreen(v.doc.document, row);
            QVERIFY(!expected.isNull());
            QCOMPARE(paintedScreen(v.view), expected);
        }
        // Moving an earlier frame changes what this one is drawn on; an undo
        // takes it back.
        v.doc.model.selectFrame(2);
        const QImage unmoved = engineScreen(v.doc.document, 2);
        v.doc.model.setAttribute({0}, FrameAttribute::Left, 1);
        QVERIFY(engineScreen(v.doc.document, 2) != unmoved);
        QCOMPARE(paintedScreen(v.view), engineScreen(v.doc.document, 2));
        QVERIFY(v.doc.model.undo());
        v.doc.model.selectFrame(2);
        QCOMPARE(paintedScreen(v.view), unmoved);
        // Off again, the bare frame is back.
        v.doc.model.selectFrame(1);
        v.view.button(kComposedButton)->click();
        QCOMPARE(paintedScreen(v.view), bare);
    }

    // What lies under the pointer in the composed view may come from an
    // earlier frame, so no index is picked there.
    void pickingWaitsForTheBareFrame()
    {
        Viewed v;
        v.doc.model.selectFrame(1);
        v.view.setPickMode(kPickTransparent);
        QSignalSpy picked(&v.view, &ImageViewWindow::colorIndexPicked);
        v.view.setComposed(true);
        QTest::mouseClick(v.view.canvas()->viewport(), Qt::LeftButton, {}, QPoint(4, 3));
        QTest::mouseClick(v.view.canvas()->viewport(), Qt::RightButton, {}, QPoint(4, 3));
        QCOMPARE(picked.count(), 0);
        v.view.setComposed(false);
        QTest::mouseClick(v.view.canvas()->viewport(), Qt::LeftButton, {}, QPoint(4, 3));
        QCOMPARE(picked.count(), 1);
        QCOMPARE(picked.at(0).at(1).toInt(), 1); // (4 - 2, 3 - 2) is index 1
    }

    void theChoiceIsKeptInTheProfile()
    {
        Animation a;
        a.doc.model.selectFrame(1);
        Profile profile((a.doc.dir.path() + "/zell.ini").toStdString());
        for (const bool composed : {true, false}) {
            ImageViewWindow view(a.doc.model, &a.clock, &profile);
            view.show();
            QCOMPARE(std::pair(view.canvas()->composed(), view.button(kComposedButton)->isChecked()),
                     std::pair(!composed, !composed));
            // Started composed, it paints the composed screen at once.
            if (!composed)
                QCOMPARE(paintedScreen(view), engineScreen(a.doc.document, 1));
            view.button(kComposedButton)->click();
            QCOMPARE(profile.readInt("ImageView", "composed", -1), int(composed));
        }
        ImageViewWindow view(a.doc.model, &a.clock, &profile);
        QVERIFY(!view.canvas()->composed());
    }

    // At four times the 8 x 6 screen, pixel (x, y) covers viewport points
    // 4x .. 4x + 3.
    void aDraggedRectangleAndTheCropNumbersFollowEachOther()
    {
        Viewed v;
        v.view.zoomSlider()->setValue(2);
        CropDialog dialog(nullptr, 8, 6);
        v.view.attachCropDialog(&dialog);
        QVERIFY(v.view.canvas()->cropping());
        QCOMPARE(v.view.canvas()->cropRect(), QRect(0, 0, 8, 6));
        // The dialog's numbers move the rectangle: (1, 1, 5, 4) is outlined
        // from (4, 4) to (23, 19).
        dialog.setRect({1, 1, 5, 4});
        QCOMPARE(v.view.canvas()->cropRect(), QRect(1, 1, 5, 4));
        const struct {
            QPoint from, to;
            QRect expected;
        } drags[] = {
            // Well inside, a new rectangle from the pixel pressed to the one
            // released, either way round.
            {{14, 13}, {9, 5}, {2, 1, 2, 3}},
            // Past the screen's edge it stops at the last pixel.
            {{21, 17}, {300, 250}, {5, 4, 3, 2}},
            // The bottom-right corner (31, 23) resizes, past the opposite
            // corner too; the left edge (x 4) moves alone.
            {{30, 22}, {5, 5}, {1, 1, 5, 4}},
            {{5, 12}, {-40, 12}, {0, 1, 6, 4}},
        };
        for (const auto& d : drags) {
            drag(v.view, d.from, d.to);
            QCOMPARE(rects(dialog, v.view), std::pair(d.expected, d.expected));
        }
        // Closed, the dialog takes no more drags, and picking is back.
        dialog.reject();
        QVERIFY(!v.view.canvas()->cropping());
        v.view.setPickMode(kPickTransparent);
        QSignalSpy picked(&v.view, &ImageViewWindow::colorIndexPicked);
        drag(v.view, QPoint(2, 2), QPoint(20, 20));
        QCOMPARE(rects(dialog, v.view).first, QRect(0, 1, 6, 4));
        QCOMPARE(picked.count(), 1);
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

ZELL_UI_TEST(ComposedViewTest);

} // namespace zell::test

#include "composed_view_test.moc"
