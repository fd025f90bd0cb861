#pragma once

#include "app/RecentFile.h"

#include <QAbstractListModel>
#include <QImage>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace delivery {

class RecentLibrary;

// The rows of the recent-captures strip: one per file the library lists, in
// its order, each with what its tile has loaded so far. A row is known by its
// path, so a file that comes back with a new date keeps its thumbnail and
// duration on show until the new ones arrive. Main thread only.
class RecentTileModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        // The app::RecentFile of the row.
        FileRole = Qt::UserRole + 1,
        // The loaded thumbnail (a null QImage while there is none).
        ImageRole,
        // The loaded length in seconds, a double; invalid while unknown.
        DurationRole,
        // Whether the row is the file the host shows.
        CurrentRole,
    };

    // The library is not owned and must outlive the model.
    explicit RecentTileModel(RecentLibrary& library, QObject* parent = nullptr);
    ~RecentTileModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    // The files as URLs; for a file that is gone, nothing.
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    const app::RecentFile& file(int row) const;
    RecentLibrary& library() const { return library_; }

    // The file the host shows (compared once both paths are cleaned, with no
    // symbolic link resolved), or none.
    void setCurrentPath(const std::optional<QString>& path);
    // The row of the current file, or -1.
    int currentRow() const;

    // Starts loading the row's thumbnail at `scale` pixels per point and then
    // its duration, unless that is under way or done for this file at this
    // scale. The results are kept for the row.
    void load(int row, double scale);

    // "name\n<date, abbreviated, and short time in the locale>".
    static QString toolTip(const app::RecentFile& file, const QLocale& locale);

private:
    struct Tile;
    void syncFiles();
    Tile* tileFor(const QObject* task);
    void changed(const Tile& tile);

    RecentLibrary& library_;
    std::vector<std::unique_ptr<Tile>> tiles_;
    std::optional<QString> current_;
};

} // namespace delivery
