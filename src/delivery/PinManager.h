#pragma once

#include "app/Capture.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

namespace delivery {

class PinWindow;

// Owns the screenshots pinned to the screen: floating windows that show only
// the image, stay above other windows on every desktop and last until the
// user closes them or the program ends. Main thread only.
class PinManager : public QObject {
    Q_OBJECT
public:
    // The program's one manager, made on first use and kept until exit.
    static PinManager& shared();

    PinManager();
    ~PinManager() override;
    PinManager(const PinManager&) = delete;
    PinManager& operator=(const PinManager&) = delete;

    // Opens a screenshot in the editor; a pin's Annotate calls it.
    std::function<void(const app::Capture& capture)> onEdit;

    // Shows a new pin of the capture on the screen under the pointer, fitted
    // to 60 % of its free area and cascaded from the pins already open, in
    // front without taking the keyboard. Without a screen or an image there
    // is nowhere and nothing to pin, and nothing happens.
    void pin(const app::Capture& capture);

    // Takes the pin off the screen and drops it.
    void close(PinWindow* pin);

    // The pins on screen, oldest first.
    const std::vector<PinWindow*>& pins() const { return pins_; }

    // The X window ids of the pins (screenshots keep these windows).
    std::set<std::uint32_t> windowNumbers() const;

private:
    std::vector<PinWindow*> pins_;
};

} // namespace delivery
