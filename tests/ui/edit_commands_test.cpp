#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QWidget>

#include <functional>

#include "app/string_table.h"
#include "operations/frame_edits.h"
#include "ui/edit_commands.h"
#include "ui/edit_dialogs.h"
#include "ui/test_document.h"
#include "ui/ui_test.h"

namespace zell::test {
namespace {

constexpr uint16_t kWidth = 6;
constexpr uint16_t kHeight = 4;

// A screen with a full first frame and smaller ones that leave parts of it
// showing, one of them through transparent pixels: an animation whose
// pictures depend on what lies beneath, as optimised files are.
void fill(DocumentBuilder& b, int frames = 4)
{
    b.screen(kWidth, kHeight);
    const std::vector<uint32_t> colors = distinctColors(4, 7);
    std::vector<uint8_t> first(kWidth * kHeight);
    for (size_t i = 0; i < first.size(); ++i)
        first[i] = uint8_t(i % 3);
    b.add(kWidth, kHeight, colors, first).delay = 5;
    for (int i = 1; i < frames; ++i) {
        Frame& f = b.add(2, 2, colors, {uint8_t(i % 4), 3, uint8_t((i + 1) % 4), 3}, uint32_t(i % 4), uint32_t(i % 2));
        f.transparentIndex = 3;
        f.disposal = 1;
        f.delay = uint16_t(10 + i);
    }
}

// What undo must bring back: every frame, its file and the tables. The
// folder keeps the edit's new files for redo.
DocumentState restorable(const Document& d)
{
    DocumentState s = snapshot(d);
    s.directory.clear();
    return s;
}

std::vector<uint16_t> delays(const Document& d)
{
    std::vector<uint16_t> out;
    for (int i = 0; i < d.frames.count(); ++i)
        out.push_back(d.frames.frameAt(i)->delay);
    return out;
}

struct Edits {
    explicit Edits(int frames = 4) : frames(frames), doc(0), commands(doc.model, &owner, [this] { return selected; })
    {
        fill(doc, frames);
        doc.model.clearHistory();
        doc.model.selectFrame(0);
    }
    // The same animation, edited by the engine alone: what the command must give.
    template <typename Edit>
    void expectEngine(Edit edit)
    {
        DocumentBuilder twin;
        fill(twin, frames);
        QVERIFY(edit(twin.document));
        QVERIFY(!composedScreens(twin.document).empty());
        QCOMPARE(composedScreens(doc.document), composedScreens(twin.document));
        QCOMPARE(delays(doc.document), delays(twin.document));
        QCOMPARE(doc.document.settings.screenWidth, twin.document.settings.screenWidth);
        QCOMPARE(doc.document.settings.screenHeight, twin.document.settings.screenHeight);
    }

    int frames;
    TestDocument doc;
    ScriptedPrompter prompter;
    QWidget owner;
    QList<int> selected{0};
    EditCommands commands;
};

template <typename D>
std::function<int(QDialog&)> answer(std::function<void(D&)> set)
{
    return [set](QDialog& dialog) {
        D* d = qobject_cast<D*>(&dialog);
        if (!d)
            return int(QDialog::Rejected);
        set(*d);
        return int(QDialog::Accepted);
    };
}

} // namespace

class EditCommandsTest : public QObject {
    Q_OBJECT

private slots:
    // Each command is the engine's edit with the dialog's numbers, one undo
    // step that undo takes back to the very bytes and redo makes again.
    void eachCommandIsTheEnginesEditAndOneUndoStep()
    {
        struct Case {
            const char* name;
            std::function<void(Edits&)> command;
            std::function<bool(Document&)> engine;
        };
        const std::vector<int> middle{1, 2, 3};
        const Case cases[] = {
            {"reverse all", [](Edits& e) { e.commands.reverse(); },
             [](Document& d) { return reverseFrames(d, {}); }},
            {"reverse selected",
             [](Edits& e) {
                 e.selected = {3, 1, 2};
                 e.commands.reverse();
             },
             [&](Document& d) { return reverseFrames(d, middle); }},
            {"ping-pong", [](Edits& e) { e.commands.pingPong(); }, [](Document& d) { return pingPongFrames(d, {}); }},
            {"rotate 90", [](Edits& e) { e.commands.transform(PictureTransform::rotate90); },
             [](Document& d) { return transformAnimation(d, PictureTransform::rotate90); }},
            {"rotate 270", [](Edits& e) { e.commands.transform(PictureTransform::rotate270); },
             [](Document& d) { return transformAnimation(d, PictureTransform::rotate270); }},
            {"flip vertically", [](Edits& e) { e.commands.transform(PictureTransform::flipVertical); },
             [](Document& d) { return transformAnimation(d, PictureTransform::flipVertical); }},
            {"thin out",
             [](Edits& e) {
                 e.prompter.dialogScript = answer<ThinOutDialog>([](ThinOutDialog& d) { d.everyBox()->setValue(3); });
                 e.commands.thinOut();
             },
             [](Document& d) { return thinOut(d, {}, 3); }},
            {"speed",
             [](Edits& e) {
                 e.prompter.dialogScript = answer<SpeedDialog>([](SpeedDialog& d) { d.percentBox()->setValue(250); });
                 e.commands.speed();
             },
             [](Document& d) { return scaleDelays(d, {}, 250); }},
            {"delay of the selection",
             [](Edits& e) {
                 e.selected = {1, 2, 3};
                 e.prompter.dialogScript = answer<SpeedDialog>([](SpeedDialog& d) {
                     d.setRadio()->setChecked(true);
                     d.delayBox()->setValue(40);
                 });
                 e.commands.speed();
             },
             [&](Document& d) { return setDelays(d, middle, 40); }},
            {"resize",
             [](Edits& e) {
                 e.prompter.dialogScript = answer<ResizeDialog>([](ResizeDialog& d) {
                     d.percentBox()->setValue(200);
                     d.filterBox()->setCurrentIndex(1);
                 });
                 e.commands.resize();
             },
             [](Document& d) {
                 return resizeAnimation(d, {2 * kWidth, 2 * kHeight, ScaleFilter::nearest, false});
             }},
            {"crop",
             [](Edits& e) {
                 e.prompter.dialogScript = answer<CropDialog>([](CropDialog& d) { d.setRect({1, 1, 3, 2}); });
                 e.commands.crop();
             },
             [](Document& d) { return cropAnimation(d, {1, 1, 3, 2}); }},
        };
        for (const Case& c : cases) {
            Edits e;
            const DocumentState before = restorable(e.doc.document);
            c.command(e);
            QVERIFY2(e.prompter.texts.isEmpty(), c.name);
            QVERIFY2(!(restorable(e.doc.document) == before), c.name);
            e.expectEngine(c.engine);
            const DocumentState after = restorable(e.doc.document);
            QVERIFY2(e.doc.model.undo(), c.name);
            QVERIFY2(restorable(e.doc.document) == before, c.name);
            QVERIFY2(!e.doc.model.history().canUndo(), c.name);
            QVERIFY2(e.doc.model.redo(), c.name);
            QVERIFY2(restorable(e.doc.document) == after, c.name);
        }
    }

    // Reversing shows the same pictures backwards, not the bare frames
    // reordered: the small frames only made sense over the first.
    void reverseShowsTheScreensBackwards()
    {
        Edits e;
        const Screens before = composedScreens(e.doc.document);
        e.commands.reverse();
        Screens after = composedScreens(e.doc.document);
        std::reverse(after.begin(), after.end());
        QVERIFY(!before.empty());
        QCOMPARE(after, before);
        QCOMPARE(delays(e.doc.document), (std::vector<uint16_t>{13, 12, 11, 5}));
    }

    // A single selected row is where the user stands, not a choice of frames.
    void oneSelectedRowMeansEveryFrame()
    {
        Edits e;
        e.selected = {2};
        e.commands.pingPong();
        QCOMPARE(e.doc.model.frameCount(), 6);
        Edits two;
        two.selected = {0, 1};
        two.commands.pingPong();
        QCOMPARE(two.doc.model.frameCount(), 4); // two frames have no middle to repeat
    }

    void aCancelledDialogChangesNothing()
    {
        Edits e;
        e.prompter.dialogScript = [](QDialog&) { return int(QDialog::Rejected); };
        const DocumentState before = snapshot(e.doc.document);
        e.commands.thinOut();
        e.commands.speed();
        e.commands.resize();
        e.commands.crop();
        QCOMPARE(e.prompter.dialogs, 4);
        QVERIFY(snapshot(e.doc.document) == before && !e.doc.model.history().canUndo());
    }

    // Held delays are told once, and the edit stays.
    void delaysHeldAtTheMinimumAreToldOnce()
    {
        Edits e;
        e.prompter.answers = {kIdOk};
        e.prompter.dialogScript = answer<SpeedDialog>([](SpeedDialog& d) { d.percentBox()->setValue(1000); });
        e.commands.speed();
        QCOMPARE(e.prompter.texts, QStringList{loadText(Text::DelaysHeld)});
        QCOMPARE(delays(e.doc.document), (std::vector<uint16_t>{kMinDelay, kMinDelay, kMinDelay, kMinDelay}));
        QVERIFY(e.doc.model.history().canUndo());
    }

    // A reversed screen that mixes more than 256 colours cannot be one
    // frame: the user is told why and the document stays as it was.
    void aFailedEditSaysWhyAndLeavesNoStep()
    {
        TestDocument doc(0);
        doc.screen(32, 16);
        std::vector<uint8_t> under(32 * 16), over(16 * 16);
        for (size_t i = 0; i < under.size(); ++i)
            under[i] = uint8_t(i % 256);
        for (size_t i = 0; i < over.size(); ++i)
            over[i] = uint8_t(i % 255);
        doc.add(32, 16, distinctColors(256, 1), under);
        doc.add(16, 16, distinctColors(256, 2), over).disposal = 1;
        doc.model.clearHistory();
        ScriptedPrompter prompter;
        prompter.answers = {kIdOk};
        QWidget owner;
        EditCommands commands(doc.model, &owner, [] { return QList<int>{0}; });
        const DocumentState before = snapshot(doc.document);
        commands.reverse();
        QCOMPARE(prompter.texts, QStringList{loadText(Text::TooManyColorsReason)});
        QVERIFY(snapshot(doc.document) == before && !doc.model.history().canUndo());
    }

    // The crop rectangle never leaves the screen, however it is typed or given.
    void theCropRectangleStaysOnTheScreen()
    {
        CropDialog d(nullptr, 10, 8);
        QVERIFY(d.rect().left == 0 && d.rect().width == 10 && d.rect().height == 8);
        d.leftBox()->setValue(7);
        QCOMPARE(d.rect().width, 3u);
        d.leftBox()->setValue(20);
        QVERIFY(d.rect().left == 9 && d.rect().width == 1);
        d.leftBox()->setValue(2);
        d.widthBox()->setValue(50);
        QCOMPARE(d.rect().width, 8u);
        d.setRect({5, 6, 100, 0});
        const ScreenRect r = d.rect();
        QVERIFY(r.left == 5 && r.top == 6 && r.width == 5 && r.height == 1);
        d.setRect({99, 99, 3, 3});
        QVERIFY(d.rect().left == 9 && d.rect().top == 7 && d.rect().width == 1 && d.rect().height == 1);
    }

    void resizeKeepsTheAspectUntilUnlocked()
    {
        ResizeDialog d(nullptr, 200, 100);
        QVERIFY(d.aspectBox()->isChecked());
        d.widthBox()->setValue(50);
        QVERIFY(d.options().height == 25 && d.percentBox()->value() == 25);
        d.heightBox()->setValue(80);
        QCOMPARE(d.options().width, 160u);
        d.widthBox()->setValue(1); // never a side of zero
        QCOMPARE(d.options().height, 1u);
        d.aspectBox()->setChecked(false);
        d.widthBox()->setValue(300);
        QVERIFY(d.options().width == 300 && d.options().height == 1);
        d.percentBox()->setValue(10); // a percentage is of both sides
        QVERIFY(d.options().width == 20 && d.options().height == 10);
        d.heightBox()->setValue(70);
        d.aspectBox()->setChecked(true);
        QCOMPARE(d.options().height, 10u);
        QVERIFY(d.options().filter == ScaleFilter::smooth && !d.options().dither);
    }
};

ZELL_UI_TEST(EditCommandsTest);

} // namespace zell::test

#include "edit_commands_test.moc"
