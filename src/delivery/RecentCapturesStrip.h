#pragma once

#include "app/RecentFile.h"

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QStackedLayout;

namespace delivery {

class RecentLibrary;
class RecentTileModel;
class RecentTileRow;

// The row of recent captures along the bottom of an editor window, 96 points
// high across its whole width. It shows the library's files newest first as
// thumbnails, the one the host shows ringed; a click hands a file to the
// host. When the save folder cannot be read it says so, with a way to the
// settings, and when the folder holds no capture it says that instead.
// Main thread only.
class RecentCapturesStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int stripHeight = 96;

    using OpenHandler = std::function<void(const app::RecentFile& file)>;

    // Opens the settings on their General section; the composition root
    // sets it (this library does not reach the settings). Empty: the
    // "Settings…" button does nothing.
    static inline std::function<void()> openSettings;

    // The library is not owned and must outlive the strip. `currentPath` is
    // the file the host shows, if any; `open` gets the clicked file.
    RecentCapturesStrip(RecentLibrary& library, std::optional<QString> currentPath,
                        OpenHandler open, QWidget* parent = nullptr);
    ~RecentCapturesStrip() override;

    void setCurrentPath(const std::optional<QString>& path);

    enum class State { unreadable, empty, row };
    State state() const { return state_; }

    RecentTileRow* row() const { return row_; }
    RecentTileModel* model() const { return model_; }
    QLabel* message() const { return message_; }
    QPushButton* settingsButton() const { return settings_; }
    QLabel* emptyText() const { return empty_; }

private:
    void refresh();

    RecentLibrary& library_;
    RecentTileModel* model_;
    QStackedLayout* pages_;
    QWidget* unreadablePage_;
    QLabel* message_;
    QPushButton* settings_;
    QLabel* empty_;
    RecentTileRow* row_;
    State state_ = State::empty;
};

} // namespace delivery
