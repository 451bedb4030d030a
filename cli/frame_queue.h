// A queue of a few items between two threads of the frame pipeline: the
// producer waits while it is full, so the frames in flight stay few however
// long the sequence is.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace tidalhalo::cli {

template <class T>
class FrameQueue {
public:
    explicit FrameQueue(std::size_t capacity) : capacity_(capacity) {}

    // Waits for room; false (and the item dropped) once the queue is
    // cancelled.
    bool Push(T item) {
        std::unique_lock<std::mutex> lock(mutex_);
        room_.wait(lock, [this] { return cancelled_ || items_.size() < capacity_; });
        if (cancelled_) {
            return false;
        }
        items_.push_back(std::move(item));
        ready_.notify_one();
        return true;
    }

    // Waits for an item; nothing once the queue is closed and empty, or
    // cancelled.
    std::optional<T> Pop() {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return cancelled_ || closed_ || !items_.empty(); });
        if (cancelled_ || items_.empty()) {
            return std::nullopt;
        }
        T item = std::move(items_.front());
        items_.pop_front();
        room_.notify_one();
        return item;
    }

    // No more items will come; those queued are still taken.
    void Close() {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        ready_.notify_all();
    }

    // Both sides stop: waiting calls return at once, queued items are dropped.
    void Cancel() {
        const std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
        items_.clear();
        room_.notify_all();
        ready_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable room_;
    std::condition_variable ready_;
    std::deque<T> items_;
    std::size_t capacity_;
    bool closed_ = false;
    bool cancelled_ = false;
};

}  // namespace tidalhalo::cli
