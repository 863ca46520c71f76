#include "capture/service/LiveThreads.h"

#include <dlfcn.h>

#include <atomic>

namespace veldora::sound::liveThreads {
namespace {
std::atomic<int> gCount{0};
} // namespace

void enter() {
    gCount.fetch_add(1);
}

void leave() {
    gCount.fetch_sub(1);
}

int count() {
    return gCount.load();
}

void keepLibraryLoaded() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&keepLibraryLoaded), &info) != 0 && info.dli_fname != nullptr) {
        dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
}

} // namespace veldora::sound::liveThreads
