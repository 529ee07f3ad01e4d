#include <QColorDialog>
#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>
#include <QSignalSpy>

#include "app/string_table.h"
#include "document/file_import.h"
#include "document/palette_file.h"
#include "image/bmp_file.h"
#include "image/mapped_file.h"
#include "support/indexed_dib.h"
#include "ui/frame_list_model.h"
#include "ui/gif_files.h"
#include "ui/palette_window.h"
#include "ui/test_document.h"
#include "ui/ui_test.h"

namespace zell::test {

struct PaletteFixture {
    PaletteFixture()
    {
        seedGlobalTable(doc.document.settings.globalColorTable, "/nonexistent/gct.tmp");
        window = std::make_unique<PaletteWindow>(doc.model);
    }
    // Imports a tiny GIF as the last frame and makes it current.
    Frame& addFrame(int bits, bool local)
    {
        const QString path = doc.dir.path() + QStringLiteral("/in%1.gif").arg(doc.model.frameCount());
        writeBytes(path, tinyGif(bits, local));
        doc.model.rebuild([&](Document& d) {
            std::vector<std::string> failed;
            ImportOptions options;
            options.loadGlobalTable = !local; // frames then share the global table
            importFiles(d, {path.toStdString()}, options, failed);
        });
        doc.model.selectFrame(doc.model.frameCount() - 1);
        return *doc.document.frames.frameAt(doc.model.currentIndex());
    }
    ColorTable& global() { return doc.document.settings.globalColorTable; }

    TestDocument doc;
    ScriptedPrompter prompter;
    std::unique_ptr<PaletteWindow> window;
};

ColorTable tableOfFile(const std::string& path)
{
    MappedFile file;
    ColorTable table;
    if (file.open(path))
        findGifColorTable(file.bytes(), false, table);
    return table;
}

class PaletteWindowTest : public QObject {
    Q_OBJECT

private slots:
    void theGlobalCountShrinksAndGrowsWithBlackEntries()
    {
        PaletteFixture f;
        for (uint32_t i = 0; i < 256; ++i)
            f.global().setColor(i, 0xFFFFFF);
        f.global().backgroundIndex = 20;
        QSignalSpy spy(&f.doc.model, &DocumentModel::globalTableChanged);
        f.window->chooseEntryCount(3);
        QVERIFY(f.global().count == 16 && f.global().backgroundIndex == 0 && spy.count() == 1);
        f.window->chooseEntryCount(7);
        QVERIFY(f.global().count == 256 && f.global().color(15) == 0xFFFFFFu && f.global().color(16) == 0u);
        QCOMPARE(f.window->countBox()->currentIndex(), 7);
    }

    void picksReachTheFrameAndTheDocument()
    {
        PaletteFixture f;
        Frame& frame = f.addFrame(2, false);
        f.window->setMode(PaletteWindow::kPickTransparent);
        f.window->clickCell(2);
        QCOMPARE(frame.transparentIndex, 2);
        QCOMPARE(f.doc.model.listModel().index(0, kColumnTransparent).data().toString(), QString("2"));
        f.window->rightClickCell(5);
        QCOMPARE(frame.transparentIndex, kNoIndex);

        f.window->setMode(PaletteWindow::kPickBackground);
        f.window->clickCell(3);
        QCOMPARE(f.global().backgroundIndex, 3);
        f.window->setBackgroundIndex(300); // beyond the table
        QCOMPARE(f.global().backgroundIndex, 0);
        // A frame with its own table leaves the background alone.
        frame.useLocalColorTable = 1;
        f.window->setBackgroundIndex(4);
        QVERIFY(f.global().backgroundIndex == 0 && f.prompter.unexpected == 0);
    }

    void paletteFilesReplaceTheTableOrLeaveIt()
    {
        PaletteFixture f;
        f.global().setColor(7, 0x123456);
        const ColorTable before = f.global();
        const std::vector<uint8_t> bmp = makeBmpFile(trueColorDib(1, 1, {0x123456}));
        const QString deep = f.doc.dir.path() + "/deep.bmp", junk = f.doc.dir.path() + "/junk.gif";
        QVERIFY(writeBytes(deep, QByteArray(reinterpret_cast<const char*>(bmp.data()), qsizetype(bmp.size()))) && writeBytes(junk, "GIF89a but not"));
        f.prompter.answers = {kIdOk, kIdOk};
        f.window->loadPalette(deep);
        f.window->loadPalette(junk);
        QCOMPARE(f.prompter.texts, QStringList({loadText(Text::BitmapHasNoPalette), loadText(Text::OperationFailed)}));
        QVERIFY(f.global().entries == before.entries && f.global().count == before.count);

        const QString gif = f.doc.dir.path() + "/four.gif";
        QVERIFY(writeBytes(gif, tinyGif(2, false, 0x40)));
        f.window->loadPalette(gif);
        QVERIFY(f.global().count == 4 && f.global().color(0) == 0xFF0040u);
        QCOMPARE(f.global().color(7), 0x123456u); // beyond the file's count
        QCOMPARE(f.window->countBox()->currentIndex(), 1);
    }

    void aLocalTableIsResizedIntoANewWorkFileAfterTheQuestion()
    {
        PaletteFixture f;
        Frame& frame = f.addFrame(8, true);
        f.window->showGlobal(false);
        const std::string old = frame.workFile.path();
        f.prompter.answers = {kIdNo};
        f.window->countBox()->setCurrentIndex(3);
        f.window->chooseEntryCount(3);
        QVERIFY(frame.workFile.path() == old && f.window->countBox()->currentIndex() == 7);

        f.prompter.answers = {kIdYes};
        f.window->chooseEntryCount(3);
        QVERIFY(frame.workFile.path() != old && frame.colorCount == 16 && f.prompter.unexpected == 0);
        QVERIFY(tableOfFile(frame.workFile.path()).count == 16 && f.window->frameTable().count == 16);
        // The old file stays while undo may bring it back, and goes with the
        // history; the window shows what the document holds.
        QVERIFY(f.doc.model.undo() && frame.workFile.path() == old && f.window->frameTable().count == 256);
        QVERIFY(f.doc.model.redo() && f.doc.model.clearHistory());
        QVERIFY(!QFileInfo::exists(QString::fromStdString(old)));
    }

    void aColourEditGoesToTheShownTable()
    {
        PaletteFixture f;
        Frame& frame = f.addFrame(2, true);
        f.window->showGlobal(false);
        const std::string old = frame.workFile.path();
        f.prompter.dialogScript = [](QDialog& dialog) {
            static_cast<QColorDialog&>(dialog).setCurrentColor(QColor(1, 2, 3));
            return int(QDialog::Accepted);
        };
        f.window->clickCell(1);
        QVERIFY(frame.workFile.path() != old && tableOfFile(frame.workFile.path()).color(1) == 0x030201u);
        QCOMPARE(f.window->frameTable().color(1), 0x030201u);
        f.window->showGlobal(true);
        f.window->clickCell(9);
        QVERIFY(f.global().color(9) == 0x030201u && f.prompter.dialogs == 2);
    }
};

ZELL_UI_TEST(PaletteWindowTest);

} // namespace zell::test

#include "palette_window_test.moc"
