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
    // more are a choice, in any order. A cancelled dialog or a failed edit
    // leaves no step; what the user must know is told once.
    void eachCommandIsTheEnginesEditAndOneUndoStep()
    {
        using Engine = std::function<bool(Document&)>;
        struct Case {
            const char* name;
            QList<int> selected;
            std::function<void(EditCommands&)> command;
            std::function<void(QDialog&)> dialog; // none: the dialog is cancelled
            Engine engine;                         // none: nothing changes
            int told = 0; // the text told, if any
            Build build = fill;
        };
        const auto transform = [](PictureTransform t) {
            return std::pair([t](EditCommands& c) { c.transform(t); },
                             Engine([t](Document& d) { return transformAnimation(d, t); }));
        };
        const auto rotate = transform(PictureTransform::rotate90), flip = transform(PictureTransform::flipVertical);
        const auto accept = [](QDialog&) {};
        // A reversed screen that mixes more than 256 colours cannot be one frame.
        const Build manyColours = [](DocumentBuilder& b) {
            b.screen(32, 16);
            std::vector<uint8_t> under(32 * 16), over(16 * 16);
            for (size_t i = 0; i < under.size(); ++i)
                under[i] = uint8_t(i % 256);
            for (size_t i = 0; i < over.size(); ++i)
                over[i] = uint8_t(i % 255);
            b.add(32, 16, distinctColors(256, 1), under);
            b.add(16, 16, distinctColors(256, 2), over).disposal = 1;
        };
        const Case cases[] = {
            {"reverse selected", {3, 1, 2}, &EditCommands::reverse, accept,
             [](Document& d) { return reverseFrames(d, std::vector<int>{1, 2, 3}); }},
            {"ping-pong, one row", {2}, &EditCommands::pingPong, accept, [](Document& d) { return pingPongFrames(d, {}); }},
            {"rotate 90", {0}, rotate.first, accept, rotate.second},
            {"flip vertically", {0}, flip.first, accept, flip.second},
            {"thin out", {0}, &EditCommands::thinOut, set<ThinOutDialog>([](auto& d) { d.everyBox()->setValue(3); }),
             [](Document& d) { return thinOut(d, {}, 3); }},
            {"speed", {0}, &EditCommands::speed, set<SpeedDialog>([](auto& d) { d.percentBox()->setValue(250); }),
             [](Document& d) { return scaleDelays(d, {}, 250); }},
            {"delays held at the minimum", {0}, &EditCommands::speed,
             set<SpeedDialog>([](auto& d) { d.percentBox()->setValue(1000); }),
             [](Document& d) { return scaleDelays(d, {}, 1000); }, Text::DelaysHeld},
            {"delay of two rows", {2, 1}, &EditCommands::speed,
             set<SpeedDialog>([](auto& d) { d.setRadio()->setChecked(true), d.delayBox()->setValue(40); }),
             [](Document& d) { return setDelays(d, std::vector<int>{1, 2}, 40); }},
            {"resize", {0}, &EditCommands::resize,
             set<ResizeDialog>([](auto& d) { d.percentBox()->setValue(200), d.filterBox()->setCurrentIndex(1); }),
             [](Document& d) { return resizeAnimation(d, {2 * kWidth, 2 * kHeight, ScaleFilter::nearest, false}); }},
            {"crop", {0}, &EditCommands::crop, set<CropDialog>([](auto& d) { d.setRect({1, 1, 3, 2}); }),
             [](Document& d) { return cropAnimation(d, {1, 1, 3, 2}); }},
            {"thin out cancelled", {0}, &EditCommands::thinOut, {}, {}},
            {"too many colours", {0}, &EditCommands::reverse, accept, {}, Text::TooManyColorsReason, manyColours},
        };
        for (const Case& c : cases) {
            Edits e(c.build);
            e.selected = c.selected;
            e.prompter.answers = {kIdOk};
            const DocumentState before = restorable(e.doc.document);
            const auto dialog = c.dialog;
            e.prompter.dialogScript = [dialog](QDialog& d) {
                return dialog ? (dialog(d), int(QDialog::Accepted)) : int(QDialog::Rejected);
            };
            c.command(e.commands);
            QCOMPARE(e.prompter.texts, c.told ? QStringList{loadText(c.told)} : QStringList{});
            if (!c.engine) {
                QVERIFY2(restorable(e.doc.document) == before && !e.doc.model.history().canUndo(), c.name);
                continue;
            }
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

    // The crop rectangle never leaves the screen, however it is typed or given.
    void theCropRectangleStaysOnTheScreen()
    {
        const std::pair<std::function<void(CropDialog&)>, QRect> rows[] = {
            {[](CropDialog&) {}, QRect(0, 0, 10, 8)},
            {[](CropDialog& d) { d.leftBox()->setValue(20); }, QRect(9, 0, 1, 8)},
            {[](CropDialog& d) { d.leftBox()->setValue(2), d.widthBox()->setValue(50); }, QRect(2, 0, 8, 8)},
            {[](CropDialog& d) { d.setRect({5, 6, 100, 0}); }, QRect(5, 6, 5, 1)},
            {[](CropDialog& d) { d.setRect({99, 99, 3, 3}); }, QRect(9, 7, 1, 1)},
        };
        for (const auto& [set, expected] : rows) {
            CropDialog d(nullptr, 10, 8);
            set(d);
            QCOMPARE(qrect(d.rect()), expected);
        }
    }

    // Locked, a side follows the other, and never reaches zero.
    void resizeKeepsTheAspectUntilUnlocked()
    {
        ResizeDialog d(nullptr, 200, 100);
        const auto size = [&d] { return std::pair(int(d.options().width), int(d.options().height)); };
        d.widthBox()->setValue(50);
        QCOMPARE(size(), std::pair(50, 25));
        d.widthBox()->setValue(1);
        QCOMPARE(size(), std::pair(1, 1));
        d.aspectBox()->setChecked(false);
        d.widthBox()->setValue(300);
        QCOMPARE(size(), std::pair(300, 1));
    }
};

ZELL_UI_TEST(EditCommandsTest);

} // namespace zell::test

#include "edit_commands_test.moc"
