#include "tools/collector/StopRequest.h"

#include <pthread.h>

#include <csignal>

namespace collector {

// The stop signals are blocked in every thread and taken synchronously by sigwait.
struct StopRequest::Native {
    sigset_t signals;
    bool blocked = false;
};

StopRequest::StopRequest() : native_(std::make_unique<Native>()) {
    sigemptyset(&native_->signals);
    sigaddset(&native_->signals, SIGINT);
    sigaddset(&native_->signals, SIGTERM);
    native_->blocked = pthread_sigmask(SIG_BLOCK, &native_->signals, nullptr) == 0;
}

StopRequest::~StopRequest() = default;

bool StopRequest::Wait() {
    if (!native_->blocked) return false;
    int signal = 0;
    return sigwait(&native_->signals, &signal) == 0;
}

}  // namespace collector
