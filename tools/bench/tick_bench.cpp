// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of the game tick.
//
// RunningTick: one tick of a running round without its wait: all four moles move (and their buttons
// come to rest), the hammer man lands a blow that hits, and the score is renewed; at device pixel
// ratio 1 and 2.
//
// ScoreOnHit: the score renewed after a hit, four texts in the game's own face (two erasing, two drawing
// a four-digit number); at device pixel ratio 1 and 2.
//
// RealPace: ten seconds of a round with the real clock and the window's 1 ms timer, keys typed between
// ticks: ticks per second and the processor time of the process as a share of one core.
// RealPaceSpinning: the same, but every sleep of the wait is replaced by watching the clock, which is
// what a wait that spins for its whole length costs.
#include "fakes.h"
#include "desktop/system_seams.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTimer>

#include <sys/resource.h>

#include <chrono>
#include <random>

namespace {

// Makes the tick's wait free: sleeping moves the clock on at once, and each reading moves it a little.
class InstantClock final : public Clock {
public:
    double secondsSinceMidnight() override { return 36000 + now; }
    double monotonicSeconds() override { return now += 0.0004; }
    void sleepFor(double seconds) override { now += seconds; }
    double now = 0;
};

// The real clock, except that a sleep watches the clock until its time is over instead of sleeping.
class SpinningClock final : public Clock {
public:
    double secondsSinceMidnight() override { return real.secondsSinceMidnight(); }
    double monotonicSeconds() override { return real.monotonicSeconds(); }
    void sleepFor(double seconds) override
    {
        const double end = real.monotonicSeconds() + seconds;
        while (real.monotonicSeconds() < end) {
        }
    }

private:
    SystemClock real;
};

// Plays nothing and remembers nothing, so millions of ticks cost no memory.
class SilentSound final : public SoundLibrary {
public:
    std::int32_t dsInitialize(std::int32_t) override { return 0; }
    SoundHandle dsCreateDSB(std::int32_t, std::span<const std::uint8_t>, std::int32_t) override { return 0; }
    std::int32_t dsPlay(SoundHandle) override { return 0; }
    std::int32_t dsPlayLooping(SoundHandle) override { return 0; }
    std::int32_t dsStop(SoundHandle) override { return 0; }
    std::int32_t dsFree(SoundHandle) override { return 0; }
    std::int32_t dsTerminate(std::int32_t) override { return 0; }
};

// The real game on the real surface and art, with a chosen clock.
struct Bench {
    Bench(Clock& clock, double devicePixelRatio) : clock(clock), surface(578, 437, devicePixelRatio)
    {
        game.Form_Load();
    }
    Clock& clock;
    SpriteCatalogue sprites;
    Surface surface;
    UnseededRandom random;
    RecordingDialogs dialogs;
    FakeWindowSystem window;
    SilentSound sound;
    Form1 game{Platform{surface, sprites, clock, random, dialogs, window, sound}};
};

// Every mole one stage below the top and rising, the man about to land on hole 1: the tick raises
// all four (each drawn with its button at rest and its letter), the blow hits hole 1 and the score
// is renewed.
void setBusiestTick(GameState& s)
{
    for (int h = 1; h <= 4; ++h) {
        s.moleStageByHole[h] = 4;
        s.moleDirByHole[h] = s.dirUp;
        s.keyEnabledByHole[h] = s.flagOn;
        s.escapingByHole[h] = s.flagOff;
        s.buttonLabelByHole[h] = s.letterByHole[h];
    }
    s.hammerAim = s.hammerAimByHole[1];
    s.hammerFrame = 4;
    s.hammerDir = s.dirDown;
    s.score = 1000 + s.score % 1000; // four digits, so the renewal erases and draws a full number
    s.timeLeft = 30;
}

// At device pixel ratio 1 and 2, fifteen times each, reported as their median and spread.
void atRatiosOneAndTwo(benchmark::internal::Benchmark* cases)
{
    cases->ArgName("devicePixelRatio")->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond)->Repetitions(15)
        ->ReportAggregatesOnly(true);
}

void RunningTick(benchmark::State& state)
{
    InstantClock clock;
    Bench bench(clock, static_cast<double>(state.range(0)));
    Form1& game = bench.game;
    game.処理_開始();
    for (auto _ : state) {
        setBusiestTick(game.state);
        game.Timer1_Timer();
    }
    if (game.state.gameStopped != game.state.flagOff || game.state.moleStageByHole[1] != 4)
        state.SkipWithError("the tick did not run as set up");
}
BENCHMARK(RunningTick)->Apply(atRatiosOneAndTwo);

void ScoreOnHit(benchmark::State& state)
{
    InstantClock clock;
    Bench bench(clock, static_cast<double>(state.range(0)));
    Form1& game = bench.game;
    for (auto _ : state) {
        game.state.score = 1005;
        game.描画_当たり時得点();
    }
    if (game.state.score != 1000)
        state.SkipWithError("the score was not renewed");
}
BENCHMARK(ScoreOnHit)->Apply(atRatiosOneAndTwo);

double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Ten seconds of a round driven by the window's timer, with a player typing between ticks.
void playTenSeconds(benchmark::State& state, Clock& clock)
{
    constexpr double seconds = 10;
    for (auto _ : state) {
        Bench bench(clock, 1.0);
        Form1& game = bench.game;
        game.処理_開始(); // includes the one-second START
        std::mt19937 player(7);
        constexpr int keys[] = {'a', 's', 'd', 'f'};
        long ticks = 0;
        QTimer timer;
        timer.setInterval(1);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            game.Timer1_Timer();
            ++ticks;
            if (player() % 3 == 0)
                game.Form_KeyPress(keys[player() % 4]);
        });
        const double cpuStart = processorSeconds();
        const auto wallStart = std::chrono::steady_clock::now();
        timer.start();
        QTimer::singleShot(static_cast<int>(seconds * 1000), [] { QCoreApplication::quit(); });
        QCoreApplication::exec();
        timer.stop();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        const double cpu = processorSeconds() - cpuStart;
        state.counters["ticks_per_s"] = static_cast<double>(ticks) / wall;
        state.counters["cpu_pct_of_core"] = 100 * cpu / wall;
        state.counters["score"] = game.state.score;
    }
}

void RealPace(benchmark::State& state)
{
    SystemClock clock;
    playTenSeconds(state, clock);
}
BENCHMARK(RealPace)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void RealPaceSpinning(benchmark::State& state)
{
    SpinningClock clock;
    playTenSeconds(state, clock);
}
BENCHMARK(RealPaceSpinning)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace
