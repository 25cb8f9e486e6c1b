#include "platform/device/socket.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace platform {

bool RunBounded(std::function<void()> work, std::function<void()> late, std::chrono::steady_clock::time_point deadline) {
    struct Shared {
        std::mutex lock;
        std::condition_variable ended;
        bool done = false, abandoned = false;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, work = std::move(work), late = std::move(late)] {
        work();
        std::unique_lock<std::mutex> guard(shared->lock);
        shared->done = true;
        shared->ended.notify_all();
        if (!shared->abandoned) return;
        guard.unlock();
        if (late) late();
    }).detach();
    std::unique_lock<std::mutex> guard(shared->lock);
    if (shared->ended.wait_until(guard, deadline, [&] { return shared->done; })) return true;
    shared->abandoned = true;
    return false;
}

}  // namespace platform
