#include "ui/FontPrefetch.h"

#include <fontconfig/fontconfig.h>

#include <future>
#include <mutex>

namespace {

std::mutex prefetchMutex;
std::shared_future<void> prefetched;

}  // namespace

void PrefetchFontConfiguration() {
    std::lock_guard<std::mutex> lock(prefetchMutex);
    // The toolkit's own call of FcInit then finds the configuration loaded and returns at once.
    if (!prefetched.valid()) prefetched = std::async(std::launch::async, [] { FcInit(); }).share();
}

void AwaitFontConfiguration() {
    std::shared_future<void> loading;
    {
        std::lock_guard<std::mutex> lock(prefetchMutex);
        loading = prefetched;
    }
    if (loading.valid()) loading.wait();
}
