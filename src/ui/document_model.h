// The one Qt layer over the engine's Document, and the only way to change
// it: windows read through const access and listen to the signals; every
// edit is a method here that records its undo step and says precisely what
// changed. No widget keeps a copy of document state. The list model it owns
// shows the frames.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "app/text_ids.h"
#include "document/document.h"
#include "document/history.h"
#include "document/progress.h"

class QWidget;

namespace zell {

class FrameListModel;

enum class FrameAttribute { Left, Top, LocalTable, Transparent, UserInput, Disposal, Delay };

// What apply-to-all copies from the current frame, in menu order.
enum ApplyKind : int {
    kApplyPosition,
    kApplyLocalTable,
    kApplyTransparent,
    kApplyUserInput,
    kApplyDisposal,
    kApplyDelay,
};

class DocumentModel final : public QObject {
    Q_OBJECT
public:
    explicit DocumentModel(Document& document, QObject* parent = nullptr);
    ~DocumentModel() override;

    // One user action: everything edited while it lives is one undo step,
    // named by the text `nameId` (menu text or label, shown without its
    // accelerator). Steps with the same nonzero merge key in a row join,
    // as the digits of a typed number do. Nested steps belong to the
    // outermost. Every edit below records a step of its own when no
    // EditStep is open.
    class EditStep {
    public:
        EditStep(DocumentModel& model, int nameId, uint64_t mergeKey = 0);
        ~EditStep();
        EditStep(const EditStep&) = delete;
        EditStep& operator=(const EditStep&) = delete;

    private:
        History& history_;
    };
    // The windows stay disabled while one lives (a long run, a command's
    // dialog); busyChanged tells when the first begins and the last ends.
    class BusyScope {
    public:
        explicit BusyScope(DocumentModel& model);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        DocumentModel& model_;
    };
    // The text of a string-table entry as an undo step's name.
    static QString stepName(int nameId);

    const History& history() const { return history_; }
    // Takes the last step back or makes the next one again and shows the
    // document and the selection of then; false when there is none.
    bool undo();
    bool redo();
    // After opening a project: the document as it is now is the start and
    // is saved. Refused (false) while an EditStep is open.
    bool clearHistory() { return history_.clear(); }
    void markSaved() { history_.markSaved(); }
    void setUndoLimit(size_t steps) { history_.setLimit(steps); }
    // The selected rows of the list, kept with each undo step and carried
    // through a reordering.
    void setSelectionSource(std::function<HistorySelection()> source);

    const Document& document() const { return document_; }
    FrameListModel& listModel() { return *list_; }

    int frameCount() const { return document_.frames.count(); }
    const Frame* frameAt(int row) const { return document_.frames.frameAt(row); }
    int currentIndex() const { return document_.currentIndex; }
    const Frame* currentFrame() const { return frameAt(document_.currentIndex); }
    // Makes the row current and announces it; -1 (or out of range) announces
    // "no frame", which shows zeros in the property panel.
    void selectFrame(int row);

    const GifSettings& settings() const { return document_.settings; }
    // nameId names the undo step (see EditStep); a nonzero merge key joins
    // consecutive edits of one typed field.
    void editSettings(const std::function<void(GifSettings&)>& edit, int nameId = Text::EditMenu,
                      uint64_t mergeKey = 0);

    // Typed fields (position, delay) join into one step per field and rows.
    void setAttribute(const QList<int>& rows, FrameAttribute attribute, uint32_t value);
    // Copies one attribute of the current frame to every frame; false
    // without a current frame.
    bool applyToAll(ApplyKind kind);
    void setLocalColorTableOnAll();
    void renameFrame(int row, const std::string& name);
    // The frames' bounding size: largest left + width, top + height.
    QSize boundingSize() const;

    // Runs an engine operation that may change anything (imports, project
    // open) and then tells every view to show the document anew.
    void rebuild(const std::function<void(Document&)>& operation, int nameId = Text::EditMenu);
    // Runs a long engine operation on a worker thread while the windows are
    // busy (runInBackground); its commit step changes the document as
    // rebuild does, as one undo step named `textId`. `unit` names what the
    // progress counts. Returns what `work` returned.
    bool run(const QString& unit, const std::function<bool(Document&, Progress&)>& work, int textId);
    // The same for work that only reads the document (saving, previewing).
    bool runReading(const QString& unit, const std::function<bool(const Document&, Progress&)>& work);
    // The window the progress dialog of a run belongs to.
    void setRunOwner(QWidget* owner);
    bool busy() const { return busy_ > 0; }

    // Edits the global table (entries, count, background index).
    void editGlobalTable(const std::function<void(ColorTable&)>& edit, int nameId = Text::GlobalPalette);
    // A colour of the frame's own table, and the size of that table; each
    // writes a new work file, so a failure (false) changes nothing.
    bool setFrameTableColor(int row, uint32_t entry, uint32_t color);
    bool resizeFrameTable(int row, int bits);

    // Rows in ascending order.
    void removeRows(const QList<int>& rows);
    void removeAll();
    // Duplicates each row right after itself; returns the new rows' indices.
    QList<int> duplicateRows(const QList<int>& rows);
    // Puts the frames in a new order (place i takes the frame at order[i])
    // as one step named `nameId`; the selection and the current frame go
    // with their frames. False when the order changes nothing or is no
    // permutation.
    bool reorderRows(const std::vector<int>& order, int nameId);
    // Moves the rows (ascending) by delta, clamped so none leaves the list;
    // returns the delta applied (0: nothing moved). INT_MIN and INT_MAX are
    // "to the top" and "to the end".
    int moveRows(const QList<int>& rows, int delta);
    // The rows (ascending) in reverse order, each in its mirror's place.
    bool reverseRows(const QList<int>& rows);

signals:
    void frameSelected(int row);
    void frameCountChanged(int count);
    void framesEdited(int first, int last);
    void settingsChanged();
    void globalTableChanged();
    // The undo steps, the position or the saved mark changed.
    void historyChanged();
    // The list is about to be reordered: views let go of their selection,
    // which selectionRestored then gives back.
    void rowsAboutToBeReordered();
    // Undo, redo or a reordering shows these selected rows and current row.
    void selectionRestored(const QList<int>& rows, int current);
    void busyChanged(bool busy);

private:
    void announceEdited(int first, int last);
    bool step(bool back);
    void replacingFrames(int at, int rewritten, int removed, int inserted);
    void commitRebuilding(const std::function<void()>& commit, int nameId);

    Document& document_;
    History history_;
    FrameListModel* list_;
    QPointer<QWidget> runOwner_;
    int busy_ = 0;
    // What an undo under way has begun to announce.
    struct Replacing {
        int at = 0, rewritten = 0, removed = 0, inserted = 0;
    };
    Replacing replacing_;
};

} // namespace zell
