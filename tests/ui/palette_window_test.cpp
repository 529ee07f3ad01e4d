#include <QColorDialog>
#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/string_table.h"
#include "document/file_import.h"
#include "document/gif_export.h"
#include "document/palette_file.h"
#include "operations/optimizer.h"
#include "operations/palette_unifier.h"
#include "image/mapped_file.h"
#include "ui/frame_list_model.h"
#include "ui/gif_files.h"
#include "ui/palette_grid.h"
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
    // Imports a tiny GIF as frame `row` and makes it current.
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
        return *doc.model.currentFrame();
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

// Frames with their work-file bytes, and the global table.
QStringList documentState(const Document& d)
{
    QStringList state;
    for (int i = 0; i < d.frames.count(); ++i) {
        const Frame& f = *d.frames.frameAt(i);
        QFile file(QString::fromStdString(f.workFile.path()));
        file.open(QIODevice::ReadOnly);
        state << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                     .arg(QString::fromStdString(f.workFile.path()))
                     .arg(f.left).arg(f.top).arg(f.width).arg(f.height).arg(f.colorCount)
                     .arg(f.useLocalColorTable).arg(QString::fromLatin1(file.readAll().toHex()));
    }
    const ColorTable& t = d.settings.globalColorTable;
    state << QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(t.entries.data()), 768).toHex())
          << QString::number(t.count) << QString::number(d.settings.useGlobalColorTable);
    return state;
}

class PaletteWindowTest : public QObject {
    Q_OBJECT

private slots:
    void clicksFindTheirCellAtAnyScale()
    {
        QCOMPARE(PaletteGrid::cellAt({2, 2}, 1, 256), 0);
        QCOMPARE(PaletteGrid::cellAt({18, 18}, 1, 256), 0);
        QCOMPARE(PaletteGrid::cellAt({19, 5}, 1, 256), -1); // the gap line
        QCOMPARE(PaletteGrid::cellAt({20, 5}, 1, 256), 1);
        QCOMPARE(PaletteGrid::cellAt({1, 5}, 1, 256), -1);
        QCOMPARE(PaletteGrid::cellAt({287, 287}, 1, 256), 255);
        QCOMPARE(PaletteGrid::cellAt({288, 100}, 1, 256), 95);
        QCOMPARE(PaletteGrid::cellAt({289, 100}, 1, 256), -1);
        QCOMPARE(PaletteGrid::cellAt({20, 5}, 1, 1), -1); // beyond the count
        // At 200 % every 96-dpi pixel is two.
        QCOMPARE(PaletteGrid::cellAt({40, 40}, 2, 256), 17);
        QCOMPARE(PaletteGrid::cellAt({38, 40}, 2, 256), -1);
        QCOMPARE(PaletteGrid::cellAt({39, 40}, 2, 256), -1);

        PaletteGrid grid;
        grid.setScale(2);
        ColorTable table;
        table.count = 256;
        grid.setTable(table, 0, -1);
        QSignalSpy left(&grid, &PaletteGrid::cellClicked);
        QSignalSpy right(&grid, &PaletteGrid::cellRightClicked);
        QTest::mouseClick(&grid, Qt::LeftButton, {}, QPoint(38, 40));
        QCOMPARE(left.count(), 0);
        QTest::mouseClick(&grid, Qt::LeftButton, {}, QPoint(41, 77));
        QTest::mouseClick(&grid, Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(left.count(), 1);
        QCOMPARE(left[0][0].toInt(), 16 * 2 + 1);
        QCOMPARE(right.count(), 1);
    }

    void theGlobalTableStartsBlackOrFromTheSeedFile()
    {
        ColorTable table;
        table.count = 3;
        seedGlobalTable(table, "/nonexistent/gct.tmp");
        QCOMPARE(table.count, 256);
        QCOMPARE(table.backgroundIndex, 0);
        QCOMPARE(table.color(255), 0u);
        QTemporaryDir dir;
        const QString seed = dir.path() + "/gct.tmp";
        QVERIFY(writeBytes(seed, QByteArray("\x01\x02\x03\x04\x05", 5)));
        seedGlobalTable(table, seed.toStdString());
        QCOMPARE(table.color(0), 0x030201u);
        QCOMPARE(table.color(1), 0x000504u); // a short file fills what it holds
        QCOMPARE(table.count, 256);
    }

    void theGlobalCountShrinksAndGrowsWithBlackEntries()
    {
        PaletteFixture f;
        for (uint32_t i = 0; i < 256; ++i)
            f.global().setColor(i, 0xFFFFFF);
        f.global().backgroundIndex = 20;
        QSignalSpy spy(&f.doc.model, &DocumentModel::globalTableChanged);
        f.window->chooseEntryCount(3);
        QCOMPARE(f.global().count, 16);
        QCOMPARE(f.global().backgroundIndex, 0);
        QCOMPARE(spy.count(), 1);
        f.window->chooseEntryCount(7);
        QCOMPARE(f.global().count, 256);
        QCOMPARE(f.global().color(15), 0xFFFFFFu);
        QCOMPARE(f.global().color(16), 0u);
        QCOMPARE(f.global().color(255), 0u);
        QCOMPARE(f.window->countBox()->currentIndex(), 7);
    }

    void modesFallBackWhenTheirTableGoes()
    {
        PaletteFixture f;
        f.window->setMode(PaletteWindow::kPickBackground);
        f.window->showGlobal(false);
        QCOMPARE(f.window->mode(), int(PaletteWindow::kEditColor));
        QVERIFY(!f.window->modeButton(PaletteWindow::kPickBackground)->isEnabled());
        QVERIFY(!f.window->loadButton()->isEnabled());
        // No frame: no frame table, no transparency.
        QVERIFY(!f.window->modeButton(PaletteWindow::kPickTransparent)->isEnabled());

        Frame& frame = f.addFrame(2, true);
        QCOMPARE(f.window->frameTable().count, 4);
        f.window->setMode(PaletteWindow::kPickTransparent);
        QCOMPARE(f.window->mode(), int(PaletteWindow::kPickTransparent));
        // The frame uses its own table: the global view cannot pick its transparency.
        QVERIFY(frame.useLocalColorTable);
        f.window->showGlobal(true);
        QCOMPARE(f.window->mode(), int(PaletteWindow::kEditColor));
        QVERIFY(!f.window->modeButton(PaletteWindow::kPickTransparent)->isEnabled());
    }

    void picksReachTheFrameAndTheDocument()
    {
        PaletteFixture f;
        Frame& frame = f.addFrame(2, false);
        QVERIFY(!frame.useLocalColorTable);
        f.window->setMode(PaletteWindow::kPickTransparent);
        f.window->clickCell(2);
        QCOMPARE(frame.transparentIndex, 2);
        const QModelIndex cell = f.doc.model.listModel().index(0, kColumnTransparent);
        QCOMPARE(cell.data().toString(), QString("2"));
        f.window->rightClickCell(5);
        QCOMPARE(frame.transparentIndex, kNoIndex);
        QCOMPARE(cell.data().toString(), QString::fromUtf8("無"));

        f.window->setMode(PaletteWindow::kPickBackground);
        f.window->clickCell(3);
        QCOMPARE(f.global().backgroundIndex, 3);
        f.window->setBackgroundIndex(300);
        QCOMPARE(f.global().backgroundIndex, 0);
        // A frame with its own table leaves the background alone.
        frame.useLocalColorTable = 1;
        f.window->setBackgroundIndex(4);
        QCOMPARE(f.global().backgroundIndex, 0);
        QCOMPARE(f.prompter.unexpected, 0);
    }

    void paletteFilesReplaceTheTableOrLeaveIt()
    {
        PaletteFixture f;
        f.global().setColor(7, 0x123456);
        const ColorTable before = f.global();
        const QString bmp = f.doc.dir.path() + "/deep.bmp";
        QByteArray header(54, '\0');
        header[0] = 'B';
        header[1] = 'M';
        header[14] = 40;
        header[28] = 24; // bits per pixel, no palette
        QVERIFY(writeBytes(bmp, header + QByteArray(4, '\0')));
        f.prompter.answers = {kIdOk, kIdOk};
        f.window->loadPalette(bmp);
        QCOMPARE(f.prompter.texts.last(), loadText(21514));
        const QString junk = f.doc.dir.path() + "/junk.gif";
        QVERIFY(writeBytes(junk, "GIF89a but not"));
        f.window->loadPalette(junk);
        QCOMPARE(f.prompter.texts.last(), loadText(21502));
        QVERIFY(f.global().entries == before.entries);
        QCOMPARE(f.global().count, before.count);

        const QString gif = f.doc.dir.path() + "/four.gif";
        QVERIFY(writeBytes(gif, tinyGif(2, false, 0x40)));
        f.window->loadPalette(gif);
        QCOMPARE(f.global().count, 4);
        QCOMPARE(f.global().color(0), 0xFF0040u);
        QCOMPARE(f.global().color(7), 0x123456u); // beyond the file's count
        QCOMPARE(f.window->countBox()->currentIndex(), 1);
        QCOMPARE(f.prompter.texts.size(), 2);
    }

    void aLocalTableIsResizedIntoANewWorkFile()
    {
        PaletteFixture f;
        Frame& frame = f.addFrame(8, true);
        QCOMPARE(frame.colorCount, 256);
        frame.descriptorFlags = 0x40 | 0x20; // as an interlaced file with sorted colours gives it
        f.window->showGlobal(false);
        const std::string old = frame.workFile.path();
        f.prompter.answers = {kIdNo};
        f.window->countBox()->setCurrentIndex(3);
        f.window->chooseEntryCount(3);
        QCOMPARE(frame.workFile.path(), old);
        QCOMPARE(f.window->countBox()->currentIndex(), 7);

        f.prompter.answers = {kIdYes};
        f.window->chooseEntryCount(3);
        QVERIFY(frame.workFile.path() != old);
        QCOMPARE(frame.colorCount, 16);
        QCOMPARE(frame.descriptorFlags, uint8_t(0x20)); // the new rows are in plain order
        QCOMPARE(tableOfFile(frame.workFile.path()).count, 16);
        QCOMPARE(f.window->frameTable().count, 16);
        QCOMPARE(f.prompter.unexpected, 0);
        // The old file stays while undo may bring it back, and goes with the history.
        QVERIFY(f.doc.model.undo());
        QCOMPARE(frame.workFile.path(), old);
        QCOMPARE(frame.colorCount, 256);
        QVERIFY(f.doc.model.redo());
        f.doc.model.clearHistory();
        QVERIFY(!QFileInfo::exists(QString::fromStdString(old)));
    }

    void undoAfterOptimiseOrUnifyBringsBackFramesFilesAndGlobalTable()
    {
        for (int run = 0; run < 2; ++run) {
            PaletteFixture f;
            for (int bits : {2, 8, 2})
                f.addFrame(bits, true);
            const QStringList before = documentState(f.doc.document);
            f.doc.model.rebuild([run](Document& d) {
                if (run == 0) {
                    QVERIFY(optimize(d, kSaveOptimize | kSaveDropUnchanged | kSaveTransparency));
                } else {
                    UnifyOptions options;
                    options.colorCount = 16;
                    QVERIFY(unify(d, options));
                }
            }, run == 0 ? 32785 : 32786);
            const QStringList after = documentState(f.doc.document);
            QVERIFY(after != before);
            QVERIFY(f.doc.model.undo());
            QCOMPARE(documentState(f.doc.document), before);
            QVERIFY(f.doc.model.redo());
            QCOMPARE(documentState(f.doc.document), after);
        }
    }

    void aFrameColourEditWritesANewWorkFile()
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
        QVERIFY(frame.workFile.path() != old);
        QCOMPARE(tableOfFile(frame.workFile.path()).color(1), 0x030201u);
        QCOMPARE(f.window->frameTable().color(1), 0x030201u);
        // The global table is the document's and takes the colour there.
        f.window->showGlobal(true);
        f.window->clickCell(9);
        QCOMPARE(f.global().color(9), 0x030201u);
        QCOMPARE(f.prompter.dialogs, 2);
    }
};

ZELL_UI_TEST(PaletteWindowTest);

} // namespace zell::test

#include "palette_window_test.moc"
