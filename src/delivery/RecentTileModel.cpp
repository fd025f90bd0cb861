#include "delivery/RecentTileModel.h"

#include "app/Recording.h"
#include "delivery/RecentLibrary.h"
#include "platform/MainThread.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>

#include <unordered_map>

namespace delivery {

// One row: the file, what was loaded for it, and the load under way. The
// load's callbacks are bound to `task`, so dropping the task (the file left
// the list, or came back changed) drops them too.
struct RecentTileModel::Tile {
    app::RecentFile file;
    QImage image;
    std::optional<double> duration;
    // The file value and scale the last finished load was for.
    std::optional<app::RecentFile> loadedFor;
    double loadedScale = 0;
    std::unique_ptr<QObject> task;

    void dropTask() {
        // A task may be dropped from inside its own callback.
        if (task) {
            task.release()->deleteLater();
        }
    }
};

namespace {

QString cleaned(const QString& path) {
    return QDir::cleanPath(path);
}

// The locale's long date without the weekday and with the month's short
// name: "Dec 10, 2026", "10. Dez. 2026".
QString abbreviatedDateFormat(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekdayFirst(QStringLiteral("d{4}[^A-Za-z']*"));
    static const QRegularExpression weekdayLast(QStringLiteral("[^A-Za-z']*d{4}$"));
    if (format.contains(weekdayLast)) {
        format.remove(weekdayLast);
    } else {
        format.remove(weekdayFirst);
    }
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return format.trimmed();
}

} // namespace

RecentTileModel::RecentTileModel(RecentLibrary& library, QObject* parent)
    : QAbstractListModel(parent), library_(library) {
    connect(&library_, &RecentLibrary::filesChanged, this, &RecentTileModel::syncFiles);
    syncFiles();
}

RecentTileModel::~RecentTileModel() = default;

void RecentTileModel::syncFiles() {
    platform::assertMainThread();
    std::unordered_map<QString, std::unique_ptr<Tile>> old;
    for (std::unique_ptr<Tile>& tile : tiles_) {
        old.emplace(tile->file.path, std::move(tile));
    }
    beginResetModel();
    tiles_.clear();
    for (const app::RecentFile& file : library_.files()) {
        auto found = old.find(file.path);
        std::unique_ptr<Tile> tile;
        if (found != old.end() && found->second) {
            tile = std::move(found->second);
            if (tile->file != file) {
                // Shown as it was until the new file's results arrive.
                tile->dropTask();
                tile->file = file;
            }
        } else {
            tile = std::make_unique<Tile>();
            tile->file = file;
        }
        tiles_.push_back(std::move(tile));
    }
    for (auto& [path, tile] : old) {
        if (tile) {
            tile->dropTask();
        }
    }
    endResetModel();
}

int RecentTileModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(tiles_.size());
}

const app::RecentFile& RecentTileModel::file(int row) const {
    return tiles_.at(std::size_t(row))->file;
}

QVariant RecentTileModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount()) {
        return {};
    }
    const Tile& tile = *tiles_[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return QFileInfo(tile.file.path).fileName();
    case Qt::AccessibleDescriptionRole:
        return tile.duration ? app::durationText(*tile.duration) : QString();
    case Qt::ToolTipRole:
        return toolTip(tile.file, QLocale());
    case FileRole:
        return QVariant::fromValue(tile.file);
    case ImageRole:
        return tile.image;
    case DurationRole:
        return tile.duration ? QVariant(*tile.duration) : QVariant();
    case CurrentRole:
        return index.row() == currentRow();
    default:
        return {};
    }
}

Qt::ItemFlags RecentTileModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList RecentTileModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* RecentTileModel::mimeData(const QModelIndexList& indexes) const {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QModelIndex& index : indexes) {
        if (index.isValid() && index.row() < rowCount()) {
            const QString& path = file(index.row()).path;
            if (QFileInfo(path).isFile()) {
                urls.append(QUrl::fromLocalFile(path));
            }
        }
    }
    if (!urls.isEmpty()) {
        data->setUrls(urls);
    }
    return data;
}

void RecentTileModel::setCurrentPath(const std::optional<QString>& path) {
    const std::optional<QString> next = path ? std::optional(cleaned(*path)) : std::nullopt;
    if (next == current_) {
        return;
    }
    const int before = currentRow();
    current_ = next;
    const int after = currentRow();
    for (const int row : {before, after}) {
        if (row >= 0) {
            Q_EMIT dataChanged(index(row), index(row), {CurrentRole});
        }
    }
}

int RecentTileModel::currentRow() const {
    if (!current_) {
        return -1;
    }
    for (std::size_t row = 0; row < tiles_.size(); ++row) {
        if (cleaned(tiles_[row]->file.path) == *current_) {
            return int(row);
        }
    }
    return -1;
}

RecentTileModel::Tile* RecentTileModel::tileFor(const QObject* task) {
    for (const std::unique_ptr<Tile>& tile : tiles_) {
        if (tile->task.get() == task) {
            return tile.get();
        }
    }
    return nullptr;
}

void RecentTileModel::changed(const Tile& tile) {
    for (std::size_t row = 0; row < tiles_.size(); ++row) {
        if (tiles_[row].get() == &tile) {
            const QModelIndex at = index(int(row));
            Q_EMIT dataChanged(at, at);
            return;
        }
    }
}

void RecentTileModel::load(int row, double scale) {
    platform::assertMainThread();
    if (row < 0 || row >= rowCount()) {
        return;
    }
    Tile& tile = *tiles_[std::size_t(row)];
    if (tile.task || (tile.loadedFor == tile.file && tile.loadedScale == scale)) {
        return;
    }
    tile.task = std::make_unique<QObject>();
    const QObject* task = tile.task.get();
    const app::RecentFile file = tile.file;
    // The thumbnail first, then the length: never both at once.
    library_.thumbnail(file, scale, task, [this, task, file, scale](const QImage& image) {
        Tile* tile = tileFor(task);
        if (!tile) {
            return;
        }
        tile->image = image;
        changed(*tile);
        library_.duration(file, task, [this, task, file, scale](std::optional<double> seconds) {
            Tile* tile = tileFor(task);
            if (!tile) {
                return;
            }
            tile->duration = seconds;
            tile->loadedFor = file;
            tile->loadedScale = scale;
            tile->dropTask();
            changed(*tile);
        });
    });
}

QString RecentTileModel::toolTip(const app::RecentFile& file, const QLocale& locale) {
    const QString date = locale.toString(file.date.date(), abbreviatedDateFormat(locale));
    const QString time = locale.toString(file.date.time(), QLocale::ShortFormat);
    return QFileInfo(file.path).fileName() + QLatin1Char('\n') + date + QLatin1Char(' ') + time;
}

} // namespace delivery
