// Undo and redo for a Document, without Qt. A step keeps only what changed:
// at each command boundary the document is compared with the state the
// history last saw (the baseline), the unchanged frames at the start and end
// of the list are trimmed, and the step keeps the frames in between as they
// were and as they are, plus the settings when they changed. A step's frames
// share their work files, so a picture lives while a frame or a step refers
// to it; dropping steps (the limit, a new edit after undo, clear()) lets go
// of the files nothing else holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "document/document.h"

namespace zell {

// The rows selected in a view and the current frame, kept with each step so
// that undo and redo show again the frames they touched.
struct HistorySelection {
    int current = -1;
    std::vector<int> rows;
    bool operator==(const HistorySelection&) const = default;
};

class History {
public:
    static constexpr size_t kDefaultLimit = 100;

    explicit History(Document& document, size_t limit = kDefaultLimit);
    History(const History&) = delete;
    History& operator=(const History&) = delete;
    ~History();

    // The selection of the views; unset, the selection is the document's
    // current frame alone.
    std::function<HistorySelection()> selection;
    // Called when the steps, the position or the saved mark changed.
    std::function<void()> onChange;
    // Called by undo() and redo() half way through a change of the frames,
    // so that a view can announce it precisely: rows [at, at + rewritten)
    // have taken their new fields in place; next, `removed` rows from
    // at + rewritten go, or `inserted` rows come there.
    std::function<void(int at, int rewritten, int removed, int inserted)> replacingFrames;

    // Command boundaries: everything the document changes between the
    // outermost begin() and its commit() is one step called `name`. A step
    // with a nonzero merge key that follows a step with the same key (with
    // nothing else between) joins it: a number typed digit by digit is one
    // step. commit() returns whether a step was recorded or joined; a
    // command that changed nothing records none. Nested begin()/commit()
    // pairs belong to the outermost one.
    void begin(const std::string& name, uint64_t mergeKey = 0);
    bool commit();
    // Records the changes made since the last step as one step (false when
    // none, or inside a command).
    bool record(const std::string& name, uint64_t mergeKey = 0);
    bool inCommand() const { return depth_ > 0; }

    bool canUndo() const { return position_ > 0 || pendingChanges(); }
    bool canRedo() const { return position_ < steps_.size() && !pendingChanges(); }
    // The name of the step undo() or redo() would take back or make again.
    std::string undoName() const;
    std::string redoName() const;
    // Takes the last step back (first recording, unnamed, any change no
    // command recorded) or makes the next one again; false when there is
    // none or a command is open. The document reports the change.
    bool undo();
    bool redo();
    // After undo() or redo(): what changed (DocumentChange flags) and the
    // selection to show.
    unsigned lastChanges() const { return lastChanges_; }
    const HistorySelection& lastSelection() const { return lastSelection_; }

    // Forgets every step and takes the document as it is now as the start
    // and as saved (after opening a project, say); the files only the steps
    // held go. Refused (false) while a command is open: its step would lose
    // its start, and what the command did after would be steps of their own.
    bool clear();
    size_t limit() const { return limit_; }
    // Drops the oldest steps beyond the limit (at least 1).
    void setLimit(size_t limit);
    size_t undoCount() const { return position_; }
    size_t redoCount() const { return steps_.size() - position_; }

    // Whether the document differs from what markSaved() saw.
    bool modified() const { return pendingChanges() || currentId() != savedId_; }
    void markSaved();
    // Whether the document differs from the baseline: an edit not recorded
    // yet. Linear in the frame count.
    bool pendingChanges() const;

    // Heap and object bytes the steps hold, and those of the baseline (one
    // record per frame, whatever the number of steps).
    size_t stepBytes() const;
    size_t baselineBytes() const;

    // Frames as the history keeps them: copies, which share the work file.
    // Records are immutable and shared by the baseline and the steps, so a
    // step that moves or deletes frames holds pointers only.
    using Record = std::shared_ptr<const Frame>;

private:
    // A selection as runs of rows: a select-all of 10,000 frames is one run.
    struct Selection {
        int current = -1;
        std::vector<std::pair<int, int>> runs; // first and last row
        static Selection of(const HistorySelection& shown);
        HistorySelection rows() const;
    };

    struct Step {
        std::string name;
        uint64_t mergeKey = 0;
        uint64_t id = 0;
        int at = 0; // the first frame that differs
        std::vector<Record> before, after;
        // Only when they changed; on the heap, as most steps have none.
        std::unique_ptr<const GifSettings> settingsBefore, settingsAfter;
        Selection selectionBefore, selectionAfter;
        unsigned changes = 0;
    };

    HistorySelection selectionNow() const;
    void notify()
    {
        if (onChange)
            onChange();
    }
    // The difference from the baseline as a step (changes 0: none); the
    // baseline then takes the document's state.
    Step diff();
    void apply(const Step& step, bool forward);
    static bool isNoOp(const Step& step);
    void push(Step step);
    uint64_t currentId() const { return position_ > 0 ? steps_[position_ - 1].id : baseId_; }

    Document& document_;
    size_t limit_;
    std::vector<Step> steps_;
    size_t position_ = 0; // steps_[0..position_) are done
    std::vector<Record> baseline_;
    GifSettings baselineSettings_;
    int depth_ = 0;
    std::string openName_;
    uint64_t openKey_ = 0;
    Selection openSelection_;
    bool mergeable_ = false; // the top step may take a following one
    uint64_t nextId_ = 1;
    uint64_t baseId_ = 0; // the id of the state before steps_[0]
    uint64_t savedId_ = 0;
    unsigned lastChanges_ = 0;
    HistorySelection lastSelection_;
};

// A command boundary for a scope: begin() now, commit() at its end. A null
// history records nothing.
class HistoryScope {
public:
    HistoryScope(History* history, const std::string& name, uint64_t mergeKey = 0) : history_(history)
    {
        if (history_)
            history_->begin(name, mergeKey);
    }
    ~HistoryScope()
    {
        if (history_)
            history_->commit();
    }
    HistoryScope(const HistoryScope&) = delete;
    HistoryScope& operator=(const HistoryScope&) = delete;

private:
    History* history_;
};

} // namespace zell
