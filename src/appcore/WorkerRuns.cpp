#include "appcore/WorkerRuns.h"

#include <QMetaObject>
#include <QObject>

#if defined(__SANITIZE_THREAD__)
#define TALLOWIN_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TALLOWIN_TSAN 1
#endif
#endif

#ifdef TALLOWIN_TSAN
// ThreadSanitizer cannot see the futex-based lock of Qt's event queue, so the hand-over is told to it.
extern "C" void __tsan_acquire(void*);
extern "C" void __tsan_release(void*);
#endif

// Only touched on the owner's thread; shared so a post that outlives this object can still ask.
struct WorkerRuns::Shared {
    quint64 current = 0;
    bool open = true;
};

namespace {

void handOver([[maybe_unused]] void* address) {
#ifdef TALLOWIN_TSAN
    __tsan_release(address);
#endif
}

void takeOver([[maybe_unused]] void* address) {
#ifdef TALLOWIN_TSAN
    __tsan_acquire(address);
#endif
}

// The call Qt carries to the owner's thread. Qt moves it into its own slot object last, so the
// release at the end of each move covers every byte the owner's thread reads of it.
class Delivery {
public:
    using Shared = std::shared_ptr<WorkerRuns::Shared>;

    Delivery(Shared shared, std::optional<quint64> run, std::function<void()> apply)
        : m_shared(std::move(shared)), m_run(run), m_apply(std::move(apply)) {}
    Delivery(Delivery&& other) noexcept
        : m_shared(std::move(other.m_shared)), m_run(other.m_run), m_apply(std::move(other.m_apply)) {
        handOver(m_shared.get());
    }
    Delivery(const Delivery&) = delete;
    Delivery& operator=(const Delivery&) = delete;
    Delivery& operator=(Delivery&&) = delete;
    // Qt drops a call whose owner goes before it ran; that destruction reads the moved-in bytes too.
    ~Delivery() {
        if (m_shared)
            takeOver(m_shared.get());
    }

    void operator()() {
        takeOver(m_shared.get());
        if (m_shared->open && (!m_run || *m_run == m_shared->current))
            m_apply();
    }

private:
    Shared m_shared;
    std::optional<quint64> m_run; // none: applies whichever run is current
    std::function<void()> m_apply;
};

} // namespace

void WorkerRuns::Poster::postIfCurrent(std::function<void()> apply) const {
    send(m_run, std::move(apply));
}

void WorkerRuns::Poster::post(std::function<void()> apply) const {
    send(std::nullopt, std::move(apply));
}

void WorkerRuns::Poster::send(std::optional<quint64> run, std::function<void()> apply) const {
    // The owner is alive here: its WorkerRuns joins this thread before the owner's QObject part
    // goes, and that part discards whatever is still queued for it.
    QMetaObject::invokeMethod(m_owner, Delivery(m_shared, run, std::move(apply)), Qt::QueuedConnection);
}

WorkerRuns::WorkerRuns(QObject* owner) : m_owner(owner), m_shared(std::make_shared<Shared>()) {}

WorkerRuns::~WorkerRuns() {
    m_shared->open = false;
    stopAll();
    // m_runs' destructor joins.
}

void WorkerRuns::start(std::function<void(std::stop_token, const Poster&)> work) {
    Poster poster;
    poster.m_owner = m_owner;
    poster.m_shared = m_shared;
    poster.m_run = ++m_shared->current;
    m_current = m_runs.start([work = std::move(work), poster](std::stop_token stopToken) { work(stopToken, poster); });
}

void WorkerRuns::stopCurrent() {
    if (m_current) {
        m_current->request_stop();
        m_current.reset();
    }
}

void WorkerRuns::dropCurrent() {
    stopCurrent();
    ++m_shared->current;
}

void WorkerRuns::stopAll() {
    m_runs.stopAll();
}
