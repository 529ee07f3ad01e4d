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

#include "document/document.h"

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
    void editSettings(const std::function<void(GifSettings&)>& edit);

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
    void rebuild(const std::function<void(Document&)>& operation);
    // Edits the global table (entries, count, background index).
    void editGlobalTable(const std::function<void(ColorTable&)>& edit);
    // Points the frame at a new, complete work file and only then deletes
    // the old one, so a failed rewrite never costs the frame its picture.
    void switchWorkFile(int row, const std::string& path);
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

private:
    void announceEdited(int first, int last);

    Document& document_;
    FrameListModel* list_;
};

} // namespace zell
