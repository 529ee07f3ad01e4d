// The one Qt layer over the engine's Document. Every window reads and edits
// the document through it and listens to its signals; no widget keeps a copy
// of document state. The list model it owns shows the frames.
#pragma once

#include <QList>
#include <QObject>
#include <QSize>
#include <QStringList>

#include <functional>
#include <string>

#include "app/text_ids.h"
#include "document/document.h"
#include "document/history.h"

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
    // The text of a string-table entry as an undo step's name.
    static QString stepName(int nameId);

    History& history() { return history_; }
    const History& history() const { return history_; }
    // Takes the last step back or makes the next one again and shows the
    // document and the selection of then; false when there is none.
    bool undo();
    bool redo();
    // After opening a project: the document as it is now is the start and
    // is saved.
    void clearHistory() { history_.clear(); }

    Document& document() { return document_; }
    const Document& document() const { return document_; }
    FrameListModel& listModel() { return *list_; }

    int frameCount() const { return document_.frames.count(); }
    Frame* frameAt(int row) const { return document_.frames.frameAt(row); }
    int currentIndex() const { return document_.currentIndex; }
    Frame* currentFrame() const { return frameAt(document_.currentIndex); }
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
    // Edits the global table (entries, count, background index).
    void editGlobalTable(const std::function<void(ColorTable&)>& edit, int nameId = Text::GlobalPalette);
    // Points the frame at a new, complete work file and only then lets go of
    // the old one, so a failed rewrite never costs the frame its picture.
    void switchWorkFile(int row, const std::string& path, int nameId = Text::EditColor);
    // Rows in ascending order.
    void removeRows(const QList<int>& rows);
    void removeAll();
    // Duplicates each row right after itself; returns the new rows' indices.
    QList<int> duplicateRows(const QList<int>& rows);
    // Moves the rows (ascending) by delta, clamped so none leaves the list;
    // returns the delta applied (0: nothing moved). Linear in the row count.
    int moveRows(const QList<int>& rows, int delta);
    static int clampDelta(const QList<int>& rows, int count, int delta);

signals:
    void frameSelected(int row);
    void frameCountChanged(int count);
    void framesEdited(int first, int last);
    void settingsChanged();
    void globalTableChanged();
    // The undo steps, the position or the saved mark changed.
    void historyChanged();
    // Undo or redo brought back these selected rows and current row.
    void selectionRestored(const QList<int>& rows, int current);

private:
    void announceEdited(int first, int last);

    bool step(bool back);

    Document& document_;
    History history_;
    FrameListModel* list_;
};

} // namespace zell
