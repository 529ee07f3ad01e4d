#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QRect>
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
using Build = std::function<void(DocumentBuilder&)>;

// A screen with a full first frame and smaller ones that leave parts of it
// showing, one of them through transparent pixels: an animation whose
// pictures depend on what lies beneath, as optimised files are.
void fill(DocumentBuilder& b)
{
    b.screen(kWidth, kHeight);
    const std::vector<uint32_t> colors = distinctColors(4, 7);
    std::vector<uint8_t> first(kWidth * kHeight);
    for (size_t i = 0; i < first.size(); ++i)
        first[i] = uint8_t(i % 3);
    b.add(kWidth, kHeight, colors, first).delay = 5;
    for (int i = 1; i < 4; ++i) {
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

QRect qrect(ScreenRect r)
{
    return QRect(int(r.left), int(r.top), int(r.width), int(r.height));
}

// Sets a dialog of type D; any other dialog fails the test.
template <typename D>
std::function<void(QDialog&)> set(std::function<void(D&)> set)
{
    return [set](QDialog& dialog) {
        D* d = qobject_cast<D*>(&dialog);
        QVERIFY(d);
        set(*d);
    };
}

struct Edits {
    explicit Edits(Build build = fill) : build(build), doc(0), commands(doc.model, &owner, [this] { return selected; })
    {
        build(doc);
        doc.model.clearHistory();
        doc.model.selectFrame(0);
    }
    // The same animation, edited by the engine alone: what the command must give.
    void expectEngine(const std::function<bool(Document&)>& edit)
    {
        DocumentBuilder twin;
        build(twin);
        QVERIFY(edit(twin.document));
        QVERIFY(!composedScreens(twin.document).empty());
        QCOMPARE(composedScreens(doc.document), composedScreens(twin.document));
        QCOMPARE(delays(doc.document), delays(twin.document));
        QCOMPARE(doc.document.settings.screenWidth, twin.document.settings.screenWidth);
        QCOMPARE(doc.document.settings.screenHeight, twin.document.settings.screenHeight);
    }
    // The next dialog is set by `set` and accepted.
    void answer(const std::function<void(QDialog&)>& set)
    {
        prompter.dialogScript = [set](QDialog& dialog) { return set(dialog), int(QDialog::Accepted); };
    }

    Build build;
    TestDocument doc;
    ScriptedPrompter prompter;
    QWidget owner;
    QList<int> selected{0};
    EditCommands commands;
};

} // namespace

class EditCommandsTest : public QObject {
    Q_OBJECT

private slots:
    // Each command is the engine's edit with the dialog's numbers, one undo
    // step that undo takes back to the very bytes and redo makes again. One
    // selected row is where the user stands and means every frame; two or
    // more are a choice, in any order.
    void eachCommandIsTheEnginesEditAndOneUndoStep()
    {
        using Engine = std::function<bool(Document&)>;
        struct Case {
            const char* name;
            QList<int> selected;
            std::function<void(EditCommands&)> command;
            std::function<void(QDialog&)> dialog;
            Engine engine;
        };
        const auto transform = [](PictureTransform t) {
            return std::pair([t](EditCommands& c) { c.transform(t); },
                             Engine([t](Document& d) { return transformAnimation(d, t); }));
        };
        const auto rotate = transform(PictureTransform::rotate90), flip = transform(PictureTransform::flipVertical);
        const Case cases[] = {
            {"reverse selected", {3, 1, 2}, &EditCommands::reverse, {},
             [](Document& d) { return reverseFrames(d, std::vector<int>{1, 2, 3}); }},
            {"ping-pong, one row", {2}, &EditCommands::pingPong, {}, [](Document& d) { return pingPongFrames(d, {}); }},
            {"rotate 90", {0}, rotate.first, {}, rotate.second},
            {"flip vertically", {0}, flip.first, {}, flip.second},
            {"thin out", {0}, &EditCommands::thinOut, set<ThinOutDialog>([](auto& d) { d.everyBox()->setValue(3); }),
             [](Document& d) { return thinOut(d, {}, 3); }},
            {"speed", {0}, &EditCommands::speed, set<SpeedDialog>([](auto& d) { d.percentBox()->setValue(250); }),
             [](Document& d) { return scaleDelays(d, {}, 250); }},
            {"delay of two rows", {2, 1}, &EditCommands::speed,
             set<SpeedDialog>([](auto& d) { d.setRadio()->setChecked(true), d.delayBox()->setValue(40); }),
             [](Document& d) { return setDelays(d, std::vector<int>{1, 2}, 40); }},
            {"resize", {0}, &EditCommands::resize,
             set<ResizeDialog>([](auto& d) { d.percentBox()->setValue(200), d.filterBox()->setCurrentIndex(1); }),
             [](Document& d) { return resizeAnimation(d, {2 * kWidth, 2 * kHeight, ScaleFilter::nearest, false}); }},
            {"crop", {0}, &EditCommands::crop, set<CropDialog>([](auto& d) { d.setRect({1, 1, 3, 2}); }),
             [](Document& d) { return cropAnimation(d, {1, 1, 3, 2}); }},
        };
        for (const Case& c : cases) {
            Edits e;
            e.selected = c.selected;
            const DocumentState before = restorable(e.doc.document);
            e.answer(c.dialog);
            c.command(e.commands);
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
        e.answer(set<SpeedDialog>([](auto& d) { d.percentBox()->setValue(1000); }));
        e.commands.speed();
        QCOMPARE(e.prompter.texts, QStringList{loadText(Text::DelaysHeld)});
        QCOMPARE(delays(e.doc.document), (std::vector<uint16_t>{kMinDelay, kMinDelay, kMinDelay, kMinDelay}));
        QVERIFY(e.doc.model.history().canUndo());
    }

    // A reversed screen that mixes more than 256 colours cannot be one
    // frame: the user is told why and the document stays as it was.
    void aFailedEditSaysWhyAndLeavesNoStep()
    {
        Edits e([](DocumentBuilder& b) {
            b.screen(32, 16);
            std::vector<uint8_t> under(32 * 16), over(16 * 16);
            for (size_t i = 0; i < under.size(); ++i)
                under[i] = uint8_t(i % 256);
            for (size_t i = 0; i < over.size(); ++i)
                over[i] = uint8_t(i % 255);
            b.add(32, 16, distinctColors(256, 1), under);
            b.add(16, 16, distinctColors(256, 2), over).disposal = 1;
        });
        e.prompter.answers = {kIdOk};
        const DocumentState before = snapshot(e.doc.document);
        e.commands.reverse();
        QCOMPARE(e.prompter.texts, QStringList{loadText(Text::TooManyColorsReason)});
        QVERIFY(snapshot(e.doc.document) == before && !e.doc.model.history().canUndo());
    }

    // The crop rectangle never leaves the screen, however it is typed or given.
    void theCropRectangleStaysOnTheScreen()
    {
        CropDialog d(nullptr, 10, 8);
        QCOMPARE(qrect(d.rect()), QRect(0, 0, 10, 8));
        d.leftBox()->setValue(7);
        QCOMPARE(qrect(d.rect()), QRect(7, 0, 3, 8));
        d.leftBox()->setValue(20);
        QCOMPARE(qrect(d.rect()), QRect(9, 0, 1, 8));
        d.leftBox()->setValue(2);
        d.widthBox()->setValue(50);
        QCOMPARE(qrect(d.rect()), QRect(2, 0, 8, 8));
        d.setRect({5, 6, 100, 0});
        QCOMPARE(qrect(d.rect()), QRect(5, 6, 5, 1));
        d.setRect({99, 99, 3, 3});
        QCOMPARE(qrect(d.rect()), QRect(9, 7, 1, 1));
    }

    void resizeKeepsTheAspectUntilUnlocked()
    {
        ResizeDialog d(nullptr, 200, 100);
        const auto size = [&d] { return std::pair(int(d.options().width), int(d.options().height)); };
        d.widthBox()->setValue(50);
        QCOMPARE(size(), std::pair(50, 25));
        QCOMPARE(d.percentBox()->value(), 25);
        d.heightBox()->setValue(80);
        QCOMPARE(size(), std::pair(160, 80));
        d.widthBox()->setValue(1); // never a side of zero
        QCOMPARE(size(), std::pair(1, 1));
        d.aspectBox()->setChecked(false);
        d.widthBox()->setValue(300);
        QCOMPARE(size(), std::pair(300, 1));
        d.percentBox()->setValue(10); // a percentage is of both sides
        QCOMPARE(size(), std::pair(20, 10));
        d.heightBox()->setValue(70);
        d.aspectBox()->setChecked(true);
        QCOMPARE(size(), std::pair(20, 10));
    }
};

ZELL_UI_TEST(EditCommandsTest);

} // namespace zell::test

#include "edit_commands_test.moc"
