// Small pictures of the frames for the list's rows, decoded from the work
// files when a row is first painted and kept in a bounded cache, so a list of
// thousands of frames opens without decoding any of them.
#pragma once

#include <QCache>
#include <QImage>
#include <QString>

#include <span>

namespace zell {

class DocumentModel;

class ThumbnailCache {
public:
    static constexpr int kWidth = 24;
    static constexpr int kHeight = 18;

    explicit ThumbnailCache(int capacity = 512) { cache_.setMaxCost(capacity); }

    // A null image when the frame has no readable picture.
    QImage thumbnail(const DocumentModel& document, int row);
    // Drops every thumbnail, for when pictures or the global table change.
    void clear() { cache_.clear(); }
    int size() const { return int(cache_.size()); }
    int decodes() const { return decodes_; }

private:
    QCache<QString, QImage> cache_;
    int decodes_ = 0;
};

} // namespace zell
