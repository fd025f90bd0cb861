#pragma once

#include "desktop/Scheduler.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace testsupport {

// A clock that moves only when the test says so: advance() runs every call
// that falls due, in time order, at its own moment.
class ManualScheduler : public desktop::Scheduler {
public:
    using ms = std::chrono::milliseconds;

    desktop::ScheduledCallPtr after(ms delay, std::function<void()> call) override {
        return add(delay, ms(0), std::move(call));
    }
    desktop::ScheduledCallPtr every(ms interval, std::function<void()> call) override {
        return add(interval, interval, std::move(call));
    }

    ms now() const { return now_; }

    void advance(ms by) {
        const ms target = now_ + by;
        for (;;) {
            std::shared_ptr<Entry> next;
            for (const auto& entry : entries_) {
                if (!entry->live || entry->due > target) {
                    continue;
                }
                if (!next || entry->due < next->due ||
                    (entry->due == next->due && entry->order < next->order)) {
                    next = entry;
                }
            }
            if (!next) {
                break;
            }
            now_ = next->due;
            if (next->interval > ms(0)) {
                next->due += next->interval;
            } else {
                next->live = false;
            }
            const auto call = next->call;
            call();
        }
        now_ = target;
        std::erase_if(entries_, [](const auto& entry) { return !entry->live; });
    }

    // Calls waiting, repeating ones included.
    size_t pending() const {
        return static_cast<size_t>(std::count_if(entries_.begin(), entries_.end(),
                                                 [](const auto& entry) { return entry->live; }));
    }

private:
    struct Entry {
        ms due;
        ms interval;
        std::function<void()> call;
        unsigned long order;
        bool live = true;
    };

    class Handle : public desktop::ScheduledCall {
    public:
        explicit Handle(std::weak_ptr<Entry> entry) : entry_(std::move(entry)) {}
        ~Handle() override {
            if (auto entry = entry_.lock()) {
                entry->live = false;
            }
        }

    private:
        std::weak_ptr<Entry> entry_;
    };

    desktop::ScheduledCallPtr add(ms delay, ms interval, std::function<void()> call) {
        auto entry =
            std::make_shared<Entry>(Entry{now_ + delay, interval, std::move(call), nextOrder_++});
        entries_.push_back(entry);
        return std::make_unique<Handle>(entry);
    }

    ms now_{0};
    unsigned long nextOrder_ = 0;
    std::vector<std::shared_ptr<Entry>> entries_;
};

} // namespace testsupport
