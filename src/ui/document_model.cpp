#include "ui/document_model.h"

#include <QHash>
#include <QRegularExpression>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

#include "app/string_table.h"
#include "operations/frame_order.h"
#include "operations/frame_table.h"
#include "ui/background_run.h"
#include "ui/frame_list_model.h"

namespace zell {

DocumentModel::DocumentModel(Document& document, QObject* parent)
    : QObject(parent), document_(document), history_(document), list_(new FrameListModel(*this))
{
    history_.onChange = [this] { emit historyChanged(); };
    history_.replacingFrames = [this](int at, int rewritten, int removed, int inserted) {
        replacingFrames(at, rewritten, removed, inserted);
    };
}

DocumentModel::~DocumentModel()
{
    history_.onChange = nullptr;
    history_.selection = nullptr;
    history_.replacingFrames = nullptr;
}

void DocumentModel::setSelectionSource(std::function<HistorySelection()> source)
{
    history_.selection = std::move(source);
}

DocumentModel::BusyScope::BusyScope(DocumentModel& model) : model_(model)
{
    if (model_.busy_++ == 0)
        emit model_.busyChanged(true);
}

DocumentModel::BusyScope::~BusyScope()
{
    if (--model_.busy_ == 0)
        emit model_.busyChanged(false);
}

DocumentModel::EditStep::EditStep(DocumentModel& model, int nameId, uint64_t mergeKey) : history_(model.history_)
{
    history_.begin(stepName(nameId).toStdString(), mergeKey);
}

DocumentModel::EditStep::~EditStep()
{
    history_.commit();
}

QString DocumentModel::stepName(int nameId)
{
    QString text = loadText(nameId);
    text = text.left(text.indexOf(QLatin1Char('\t')));
    static const QRegularExpression accelerator(QStringLiteral("\\(&?[A-Z]\\)|&|\\.\\.\\.$|[：:]$"));
    text.remove(accelerator);
    return text.trimmed();
}

bool DocumentModel::undo()
{
    return step(true);
}

bool DocumentModel::redo()
{
    return step(false);
}

bool DocumentModel::step(bool back)
{
    if (history_.inCommand() || !(back ? history_.canUndo() : history_.canRedo()))
        return false;
    replacing_ = {};
    const bool done = back ? history_.undo() : history_.redo();
    const Replacing rows = std::exchange(replacing_, {});
    if (rows.removed > 0)
        list_->endRemoveRows();
    else if (rows.inserted > 0)
        list_->endInsertRows();
    const unsigned changes = history_.lastChanges();
    if (changes & kGlobalTableChanged) {
        // Frames on the global table show other colours.
        list_->thumbnails().clear();
        announceEdited(0, frameCount() - 1);
        emit globalTableChanged();
    } else if (rows.rewritten > 0) {
        emit framesEdited(rows.at, rows.at + rows.rewritten - 1);
    }
    if (changes & kSettingsChanged)
        emit settingsChanged();
    if (rows.removed > 0 || rows.inserted > 0)
        emit frameCountChanged(frameCount());
    const HistorySelection& shown = history_.lastSelection();
    emit selectionRestored(QList<int>(shown.rows.begin(), shown.rows.end()), shown.current);
    selectFrame(shown.current);
    return done;
}

// Half way through an undo: the rows rewritten in place are told now, the
// rows that go or come are begun here and ended when the undo returns.
void DocumentModel::replacingFrames(int at, int rewritten, int removed, int inserted)
{
    replacing_ = {at, rewritten, removed, inserted};
    list_->thumbnails().clear();
    if (rewritten > 0)
        emit list_->dataChanged(list_->index(at, 0), list_->index(at + rewritten - 1, kColumnCount - 1));
    const int first = at + rewritten;
    if (removed > 0)
        list_->beginRemoveRows({}, first, first + removed - 1);
    else if (inserted > 0)
        list_->beginInsertRows({}, first, first + inserted - 1);
}

void DocumentModel::selectFrame(int row)
{
    document_.currentIndex = frameAt(row) ? row : -1;
    emit frameSelected(document_.currentIndex);
}

void DocumentModel::editSettings(const std::function<void(GifSettings&)>& edit, int nameId, uint64_t mergeKey)
{
    const EditStep step(*this, nameId, mergeKey);
    edit(document_.settings);
    emit settingsChanged();
}

void DocumentModel::announceEdited(int first, int last)
{
    if (first > last)
        return;
    emit list_->dataChanged(list_->index(first, 0), list_->index(last, kColumnCount - 1));
    emit framesEdited(first, last);
}

namespace {

void setField(Frame& f, FrameAttribute attribute, uint32_t value)
{
    switch (attribute) {
    case FrameAttribute::Left: f.left = fittingPosition(value, f.width); break;
    case FrameAttribute::Top: f.top = fittingPosition(value, f.height); break;
    case FrameAttribute::LocalTable: f.useLocalColorTable = value ? 1 : 0; break;
    case FrameAttribute::Transparent: f.transparentIndex = uint16_t(value); break;
    case FrameAttribute::UserInput: f.userInput = value ? 1 : 0; break;
    case FrameAttribute::Disposal: f.disposal = uint8_t(value); break;
    case FrameAttribute::Delay: f.delay = uint16_t(value); break;
    }
}

int attributeName(FrameAttribute attribute)
{
    switch (attribute) {
    case FrameAttribute::Left: return Text::FrameLeft;
    case FrameAttribute::Top: return Text::FrameTop;
    case FrameAttribute::LocalTable: return Text::UseLocalTable;
    case FrameAttribute::Transparent: return Text::TransparentColor;
    case FrameAttribute::UserInput: return Text::UserInput;
    case FrameAttribute::Disposal: return Text::Disposal;
    case FrameAttribute::Delay: return Text::Delay;
    }
    return Text::EditMenu;
}

} // namespace

void DocumentModel::setAttribute(const QList<int>& rows, FrameAttribute attribute, uint32_t value)
{
    // A number typed digit by digit is one step per field and frames.
    const bool typed = attribute == FrameAttribute::Left || attribute == FrameAttribute::Top
        || attribute == FrameAttribute::Delay;
    const uint64_t key = typed ? (uint64_t(attribute) + 1) << 56 ^ (qHashRange(rows.begin(), rows.end()) >> 8) : 0;
    const EditStep step(*this, attributeName(attribute), key);
    int first = INT_MAX, last = -1;
    for (int row : rows) {
        if (Frame* f = document_.frames.frameAt(row)) {
            setField(*f, attribute, value);
            first = std::min(first, row);
            last = std::max(last, row);
        }
    }
    announceEdited(first, last);
}

bool DocumentModel::applyToAll(ApplyKind kind)
{
    const Frame* source = currentFrame();
    if (!source)
        return false;
    const EditStep step(*this, Text::ApplyPositionCommand + int(kind));
    const Frame& from = *source;
    for (int i = 0; i < frameCount(); ++i) {
        Frame& to = *document_.frames.frameAt(i);
        switch (kind) {
        case kApplyPosition: to.left = from.left; to.top = from.top; break;
        case kApplyLocalTable: to.useLocalColorTable = from.useLocalColorTable; break;
        case kApplyTransparent: to.transparentIndex = from.transparentIndex; break;
        case kApplyUserInput: to.userInput = from.userInput; break;
        case kApplyDisposal: to.disposal = from.disposal; break;
        case kApplyDelay: to.delay = from.delay; break;
        }
    }
    announceEdited(0, frameCount() - 1);
    return true;
}

void DocumentModel::setLocalColorTableOnAll()
{
    const EditStep step(*this, Text::UseLocalTable);
    for (int i = 0; i < frameCount(); ++i)
        document_.frames.frameAt(i)->useLocalColorTable = 1;
    announceEdited(0, frameCount() - 1);
}

void DocumentModel::renameFrame(int row, const std::string& name)
{
    if (Frame* f = document_.frames.frameAt(row)) {
        // Renaming in place blanks the name while the editor is open; both
        // changes are one step.
        const EditStep step(*this, Text::RenameFrameCommand, 0x7E00000000000000ull ^ uint64_t(row));
        f->name = name;
        announceEdited(row, row);
    }
}

QSize DocumentModel::boundingSize() const
{
    uint32_t width = 0, height = 0;
    for (int i = 0; i < frameCount(); ++i) {
        const Frame& f = *frameAt(i);
        width = std::max<uint32_t>(width, uint32_t(f.left) + f.width);
        height = std::max<uint32_t>(height, uint32_t(f.top) + f.height);
    }
    return QSize(int(std::min<uint32_t>(width, INT_MAX)), int(std::min<uint32_t>(height, INT_MAX)));
}

void DocumentModel::rebuild(const std::function<void(Document&)>& operation, int nameId)
{
    const EditStep step(*this, nameId);
    list_->beginResetModel();
    operation(document_);
    if (!frameAt(document_.currentIndex))
        document_.currentIndex = -1;
    list_->thumbnails().clear();
    list_->endResetModel();
    emit settingsChanged();
    emit globalTableChanged();
    emit frameCountChanged(frameCount());
}

void DocumentModel::commitRebuilding(const std::function<void()>& commit, int nameId)
{
    rebuild([&](Document&) { commit(); }, nameId);
}

void DocumentModel::setRunOwner(QWidget* owner)
{
    runOwner_ = owner;
}

bool DocumentModel::run(const QString& unit, const std::function<bool(Document&, Progress&)>& work, int textId)
{
    const BusyScope busy(*this);
    Document& d = document_;
    return runInBackground(
        runOwner_, unit, [&](Progress& p) { return work(d, p); },
        [this, textId](const std::function<void()>& commit) { commitRebuilding(commit, textId); });
}

bool DocumentModel::runReading(const QString& unit, const std::function<bool(const Document&, Progress&)>& work)
{
    const BusyScope busy(*this);
    const Document& d = document_;
    return runInBackground(runOwner_, unit, [&](Progress& p) { return work(d, p); });
}

void DocumentModel::editGlobalTable(const std::function<void(ColorTable&)>& edit, int nameId)
{
    const EditStep step(*this, nameId);
    edit(document_.settings.globalColorTable);
    list_->thumbnails().clear();
    emit globalTableChanged();
    announceEdited(0, frameCount() - 1);
}

bool DocumentModel::setFrameTableColor(int row, uint32_t entry, uint32_t color)
{
    const EditStep step(*this, Text::EditColor);
    if (!zell::setFrameTableColor(document_, row, entry, color))
        return false;
    announceEdited(row, row);
    return true;
}

bool DocumentModel::resizeFrameTable(int row, int bits)
{
    const EditStep step(*this, Text::ColorCount);
    if (!zell::resizeFrameTable(document_, row, bits))
        return false;
    announceEdited(row, row);
    return true;
}

void DocumentModel::removeRows(const QList<int>& rows)
{
    const EditStep step(*this, Text::DeleteFramesCommand);
    // From the end, so that the indices still to come stay valid; one model
    // notification per contiguous run.
    for (int i = int(rows.size()) - 1; i >= 0;) {
        int last = rows[i], first = last;
        while (i > 0 && rows[i - 1] == first - 1)
            first = rows[--i];
        --i;
        if (first < 0 || last >= frameCount())
            continue;
        list_->beginRemoveRows({}, first, last);
        for (int r = last; r >= first; --r)
            document_.frames.remove(r);
        list_->endRemoveRows();
    }
    if (!frameAt(document_.currentIndex))
        document_.currentIndex = -1;
    emit frameCountChanged(frameCount());
}

void DocumentModel::removeAll()
{
    const EditStep step(*this, Text::DeleteAllCommand);
    if (frameCount() > 0) {
        list_->beginRemoveRows({}, 0, frameCount() - 1);
        document_.frames.clear();
        list_->endRemoveRows();
    }
    document_.currentIndex = -1;
    list_->thumbnails().clear();
    emit frameCountChanged(0);
}

QList<int> DocumentModel::duplicateRows(const QList<int>& rows)
{
    const EditStep step(*this, Text::DuplicateFramesCommand);
    QList<int> made;
    const Frame* current = currentFrame();
    const std::string suffix = loadText(Text::CopyNameSuffix).toStdString();
    int shift = 0;
    for (int row : rows) {
        const int at = document_.frames.duplicate(row + shift, document_.workDirectory(), suffix);
        if (at < 0)
            continue; // the copy is discarded; the source stays untouched
        // The engine inserted the copy already; the model is told by taking it
        // out and putting it back between the notifications.
        std::unique_ptr<Frame> copy = document_.frames.take(at);
        list_->beginInsertRows({}, at, at);
        document_.frames.insert(at, copy);
        list_->endInsertRows();
        made << at;
        ++shift;
    }
    for (int i = 0; current && i < frameCount(); ++i) {
        if (frameAt(i) == current)
            document_.currentIndex = i;
    }
    emit frameCountChanged(frameCount());
    return made;
}

bool DocumentModel::reorderRows(const std::vector<int>& order, int nameId)
{
    const int n = frameCount();
    if (int(order.size()) != n)
        return false;
    std::vector<int> newRow(size_t(n), -1);
    bool moves = false;
    for (int i = 0; i < n; ++i) {
        const int from = order[size_t(i)];
        if (from < 0 || from >= n || newRow[size_t(from)] >= 0)
            return false;
        newRow[size_t(from)] = i;
        moves = moves || from != i;
    }
    if (!moves)
        return false;
    const EditStep step(*this, nameId);
    HistorySelection shown;
    shown.current = document_.currentIndex;
    if (history_.selection)
        shown = history_.selection();
    // The selection is taken down and put back as whole runs: carried through
    // the layout change, thousands of separate ranges cost time quadratic in
    // their number.
    emit rowsAboutToBeReordered();
    emit list_->layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    document_.frames.reorder(order);
    const QModelIndexList persistent = list_->persistentIndexList();
    QModelIndexList updated;
    updated.reserve(persistent.size());
    for (const QModelIndex& index : persistent)
        updated << list_->index(newRow[size_t(index.row())], index.column());
    list_->changePersistentIndexList(persistent, updated);
    const int oldCurrent = document_.currentIndex;
    if (oldCurrent >= 0 && oldCurrent < n)
        document_.currentIndex = newRow[size_t(oldCurrent)];
    emit list_->layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<int> rows;
    for (int r : shown.rows) {
        if (r >= 0 && r < n)
            rows << newRow[size_t(r)];
    }
    std::sort(rows.begin(), rows.end());
    emit selectionRestored(rows, document_.currentIndex);
    if (document_.currentIndex != oldCurrent)
        emit frameSelected(document_.currentIndex);
    return true;
}

int DocumentModel::moveRows(const QList<int>& rows, int delta)
{
    const std::vector<int> selected(rows.begin(), rows.end());
    int applied = 0;
    const std::vector<int> order = movedOrder(frameCount(), selected, delta, &applied);
    if (applied == 0)
        return 0;
    const int name = delta == INT_MIN   ? Text::MoveToTopCommand
                     : delta == INT_MAX ? Text::MoveToEndCommand
                     : applied < 0      ? Text::MoveUpCommand
                                        : Text::MoveDownCommand;
    reorderRows(order, name);
    return applied;
}

bool DocumentModel::reverseRows(const QList<int>& rows)
{
    const std::vector<int> selected(rows.begin(), rows.end());
    return reorderRows(reversedOrder(frameCount(), selected), Text::ReverseFramesCommand);
}

} // namespace zell
