#include "ui/document_model.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <climits>
#include <vector>

#include "app/string_table.h"
#include "document/file_import.h"
#include "document/project_file.h"
#include "ui/frame_list_model.h"

namespace zell {

DocumentModel::DocumentModel(Document& document, QObject* parent)
    : QObject(parent), document_(document), history_(document), list_(new FrameListModel(*this))
{
    history_.onChange = [this] { emit historyChanged(); };
}

DocumentModel::~DocumentModel()
{
    history_.onChange = nullptr;
    history_.selection = nullptr;
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
    QString text = ownText(nameId);
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
    list_->beginResetModel();
    const bool done = back ? history_.undo() : history_.redo();
    list_->thumbnails().clear();
    list_->endResetModel();
    emit settingsChanged();
    emit globalTableChanged();
    emit frameCountChanged(frameCount());
    const HistorySelection& shown = history_.lastSelection();
    emit selectionRestored(QList<int>(shown.rows.begin(), shown.rows.end()), shown.current);
    selectFrame(shown.current);
    return done;
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
    case FrameAttribute::Left: return 1056;
    case FrameAttribute::Top: return 1058;
    case FrameAttribute::LocalTable: return 1060;
    case FrameAttribute::Transparent: return 1065;
    case FrameAttribute::UserInput: return 1066;
    case FrameAttribute::Disposal: return 1067;
    case FrameAttribute::Delay: return 1061;
    }
    return 12902;
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
        if (Frame* f = frameAt(row)) {
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
    const EditStep step(*this, 32779 + int(kind));
    const Frame& from = *source;
    for (int i = 0; i < frameCount(); ++i) {
        Frame& to = *frameAt(i);
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
    const EditStep step(*this, 1060);
    for (int i = 0; i < frameCount(); ++i)
        frameAt(i)->useLocalColorTable = 1;
    announceEdited(0, frameCount() - 1);
}

void DocumentModel::renameFrame(int row, const std::string& name)
{
    if (Frame* f = frameAt(row)) {
        // Renaming in place blanks the name while the editor is open; both
        // changes are one step.
        const EditStep step(*this, 20102, 0x7E00000000000000ull ^ uint64_t(row));
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

void DocumentModel::editGlobalTable(const std::function<void(ColorTable&)>& edit, int nameId)
{
    const EditStep step(*this, nameId);
    edit(document_.settings.globalColorTable);
    list_->thumbnails().clear();
    emit globalTableChanged();
    announceEdited(0, frameCount() - 1);
}

void DocumentModel::switchWorkFile(int row, const std::string& path, int nameId)
{
    Frame* f = frameAt(row);
    if (!f)
        return;
    const EditStep step(*this, nameId);
    f->workFile = WorkFile::adopt(path);
    announceEdited(row, row);
}

void DocumentModel::removeRows(const QList<int>& rows)
{
    const EditStep step(*this, 20104);
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
    const EditStep step(*this, 32775);
    list_->beginResetModel();
    document_.frames.clear();
    document_.currentIndex = -1;
    list_->thumbnails().clear();
    list_->endResetModel();
    emit frameCountChanged(0);
}

QList<int> DocumentModel::duplicateRows(const QList<int>& rows)
{
    const EditStep step(*this, 20103);
    QList<int> made;
    const Frame* current = currentFrame();
    const std::string suffix = ownText(20162).toStdString();
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

int DocumentModel::clampDelta(const QList<int>& rows, int count, int delta)
{
    if (rows.isEmpty())
        return 0;
    if (delta >= 0)
        return int(std::min<int64_t>(delta, int64_t(count) - rows.back() - 1));
    return std::max(delta, -rows.front());
}

int DocumentModel::moveRows(const QList<int>& rows, int delta)
{
    const int n = frameCount();
    delta = clampDelta(rows, n, delta);
    if (delta == 0)
        return 0;
    const EditStep step(*this, delta < 0 ? 20106 : 20107);
    // The new order: each moved row lands at its index + delta; the others
    // fill the remaining places in their old order.
    std::vector<int> order(static_cast<size_t>(n), -1);
    std::vector<char> moved(static_cast<size_t>(n), 0);
    for (int r : rows) {
        order[size_t(r + delta)] = r;
        moved[size_t(r)] = 1;
    }
    for (int from = 0, to = 0; from < n; ++from) {
        if (moved[size_t(from)])
            continue;
        while (order[size_t(to)] >= 0)
            ++to;
        order[size_t(to)] = from;
    }
    emit list_->layoutAboutToBeChanged();
    std::vector<std::unique_ptr<Frame>> frames(static_cast<size_t>(n));
    for (int i = n - 1; i >= 0; --i)
        frames[size_t(i)] = document_.frames.take(i);
    for (int i = 0; i < n; ++i)
        document_.frames.insert(i, frames[size_t(order[size_t(i)])]);
    std::vector<int> newRow(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        newRow[size_t(order[size_t(i)])] = i;
    const QModelIndexList persistent = list_->persistentIndexList();
    QModelIndexList updated;
    updated.reserve(persistent.size());
    for (const QModelIndex& index : persistent)
        updated << list_->index(newRow[size_t(index.row())], index.column());
    list_->changePersistentIndexList(persistent, updated);
    if (document_.currentIndex >= 0 && document_.currentIndex < n)
        document_.currentIndex = newRow[size_t(document_.currentIndex)];
    emit list_->layoutChanged();
    return delta;
}

} // namespace zell
