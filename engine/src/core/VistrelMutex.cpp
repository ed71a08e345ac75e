#include "core/Vistrel.h"

#include "core/ScopedCount.h"

#include <cerrno>
#include <exception>
#include <sched.h>
#include <string>
#include <unistd.h>

// The mutex is recursive (its owner may take it again and releases it as
// often), refuses a release by a thread that does not own it, and is robust:
// when its owner ends without releasing it, the next waiter obtains it with
// EOWNERDEAD and makes it consistent again.

void Vistrel::InitMutex()
{
    trace("InitMutex", "entered");
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(&mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    // Created owned by the constructing thread, then released once.
    waitForMutex();
    UnLock();
    trace("InitMutex", "left");
}

void Vistrel::Lock()
{
    trace("Lock", "entered");
    waitForMutex();
}

bool Vistrel::UnLock()
{
    trace("UnLock", "entered");
    if (mutexOwner != gettid() || mutexDepth == 0)
        return false;
    if (--mutexDepth == 0)
        mutexOwner = 0;
    return pthread_mutex_unlock(&mutex) == 0;
}

bool Vistrel::isBusy()
{
    trace("isBusy", "entered");
    return !waitForMutex();
}

bool Vistrel::waitForMutex()
{
    const int result = pthread_mutex_lock(&mutex);
    const pid_t self = gettid();
    if (result == EOWNERDEAD) {
        // Taken over from an owner that ended: ours now, at one level.
        pthread_mutex_consistent(&mutex);
        mutexDepth = 0;
    } else if (result != 0) {
        return false;
    } else if (mutexOwner != self) {
        mutexDepth = 0;
    }
    mutexOwner = self;
    ++mutexDepth;
    return true;
}

// Counted as waiting until obtained, so that the playback loop can let this
// thread in before it takes the mutex back (the platform mutex is not fair).
void Vistrel::acquire()
{
    const ScopedCount waiting(mutexWaiters);
    while (isBusy())
        sched_yield();
    ++mutexAcquisitions;
}

bool Vistrel::ownsMutex() const { return mutexOwner == gettid(); }

void Vistrel::releaseCompletely()
{
    while (UnLock()) { }
}

void Vistrel::trace(const char* operation, const char* message)
{
    if (!logger || !logger->isEnabled())
        return;
    try {
        logger->logInfo(std::string("Vistrel::") + operation, message);
    } catch (const std::exception&) {
        // Tracing never disturbs the traced operation.
    }
}

Vistrel::MutexHold::MutexHold(Vistrel& owner)
    : engine(owner)
{
    engine.acquire();
}

Vistrel::MutexHold::~MutexHold() { engine.releaseCompletely(); }
