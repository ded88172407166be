#include "support/TestPlatform.h"

#include <algorithm>
#include <filesystem>

namespace brimlow::test {

MsgBoxAnswer FakeDialogs::MsgBox(const std::string& text, const std::string& title, MsgBoxButtons buttons,
                                 MsgBoxIcon icon)
{
    boxes.push_back({text, title, buttons, icon});
    if (answers.empty())
        return MsgBoxAnswer::Ok;
    MsgBoxAnswer a = answers.front();
    answers.pop_front();
    return a;
}

std::optional<std::string> FakeDialogs::ShowSave(const FileDialogOptions& options)
{
    saveDialogs.push_back(options);
    while (!savePaths.empty()) {
        auto p = savePaths.front();
        savePaths.pop_front();
        std::error_code ec;
        if (p && options.confirmReplace && std::filesystem::exists(*p, ec)) {
            replaceQuestions.push_back(*p);
            const bool yes = replaceAnswers.empty() || replaceAnswers.front();
            if (!replaceAnswers.empty())
                replaceAnswers.pop_front();
            if (!yes)
                continue;
        }
        return p;
    }
    return std::nullopt;
}

std::optional<std::string> FakeDialogs::ShowOpen(const FileDialogOptions& options)
{
    openDialogs.push_back(options);
    if (openPaths.empty())
        return std::nullopt;
    auto p = openPaths.front();
    openPaths.pop_front();
    return p;
}

RunOutcome RecordingRunner::RunAndReport(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder,
                                         const RunEnvironment& environment)
{
    calls.push_back({argv, workingFolder, environment});
    if (beforeRun)
        beforeRun(calls.back());
    if (passThrough)
        return m_real.RunAndReport(argv, workingFolder, environment);
    return {true, 0};
}

// ---- FakeScheduler ----

namespace {

class FakeTimer;

}  // namespace

struct FakeScheduler::State {
    std::chrono::milliseconds now{0};
    std::vector<FakeTimer*> timers;  // in the order they were made
};

namespace {

class FakeTimer final : public Timer {
public:
    FakeTimer(std::shared_ptr<FakeScheduler::State> state, std::function<void()> onTimer)
        : m_state(std::move(state)), m_onTimer(std::move(onTimer))
    {
        m_state->timers.push_back(this);
    }
    ~FakeTimer() override { std::erase(m_state->timers, this); }

    void setInterval(std::chrono::milliseconds interval) override
    {
        m_interval = interval;
        if (m_active)
            start();
    }
    std::chrono::milliseconds interval() const override { return m_interval; }
    void start() override
    {
        m_active = true;
        m_due = m_state->now + step();
    }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }

    std::chrono::milliseconds due() const { return m_due; }
    void Fire()
    {
        m_due += step();
        auto onTimer = m_onTimer;  // the handler may stop, restart or destroy this timer
        onTimer();
    }

private:
    // A zero interval fires at every step of the time, never twice at one instant.
    std::chrono::milliseconds step() const { return std::max(m_interval, std::chrono::milliseconds(1)); }

    std::shared_ptr<FakeScheduler::State> m_state;
    std::function<void()> m_onTimer;
    std::chrono::milliseconds m_interval{0};
    std::chrono::milliseconds m_due{0};
    bool m_active = false;
};

}  // namespace

FakeScheduler::FakeScheduler() : m_state(std::make_shared<State>()) {}
FakeScheduler::~FakeScheduler() = default;

std::unique_ptr<Timer> FakeScheduler::NewTimer(std::function<void()> onTimer)
{
    return std::make_unique<FakeTimer>(m_state, std::move(onTimer));
}

void FakeScheduler::Pause(std::chrono::milliseconds duration)
{
    pauses.push_back(duration);
    Advance(duration);
}

void FakeScheduler::Advance(std::chrono::milliseconds by)
{
    const auto target = m_state->now + by;
    for (;;) {
        FakeTimer* next = nullptr;
        for (FakeTimer* t : m_state->timers)
            if (t->isActive() && t->due() <= target && (!next || t->due() < next->due()))
                next = t;
        if (!next)
            break;
        MoveTo(next->due());
        next->Fire();
    }
    MoveTo(target);
}

void FakeScheduler::MoveTo(std::chrono::milliseconds when)
{
    if (when <= m_state->now)
        return;  // a pause inside a handler may have gone further already
    const auto step = when - m_state->now;
    m_state->now = when;
    if (clock) {
        clock->monotonic += std::chrono::duration<double>(step).count();
        clock->now += std::chrono::duration_cast<std::chrono::system_clock::duration>(step);
    }
}

std::chrono::milliseconds FakeScheduler::now() const { return m_state->now; }

std::size_t FakeScheduler::activeTimers() const
{
    std::size_t n = 0;
    for (FakeTimer* t : m_state->timers)
        n += t->isActive() ? 1 : 0;
    return n;
}

TestPlatform::TestPlatform()
{
    platform.dialogs = &dialogs;
    platform.runner = &runner;
    platform.clock = &clock;
    platform.user = &user;
    platform.exit = &exit;
    platform.printer = &printer;
    platform.browser = &browser;
    platform.registry = &registry;
    platform.starter = &starter;
    platform.scheduler = &scheduler;
    platform.launcher = &launcher;
    platform.keys = &keys;
    platform.volumes = &volumes;
    scheduler.clock = &clock;
}

}  // namespace brimlow::test
