// The controls' hot paths: darkening a key picture, and one fader move from the new value to
// the end of the repaint it causes.
#include "ARoundButtonSlider.h"
#include "PanelResources.h"
#include "QVDarkenedImage.h"

#include <QApplication>
#include <QEvent>
#include <QPaintEvent>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

QImage keyPicture(int side)
{
    QImage image(side, side, QImage::Format_RGBA8888);
    for (int y = 0; y < side; ++y) {
        uchar *row = image.scanLine(y);
        for (int i = 0; i < side * 4; ++i)
            row[i] = static_cast<uchar>((i * 7 + y * 13) & 0xFF);
    }
    return image;
}

void BM_DarkenedImage512(benchmark::State &state)
{
    const QImage source = keyPicture(512);
    const QColor highlight = QColor::fromRgbF(0.8f, 0.8f, 0.8f, 0.5f);
    for (auto _ : state) {
        QImage out = darkenedImageWithColor(source, highlight);
        benchmark::DoNotOptimize(out.constBits());
    }
    state.SetBytesProcessed(state.iterations() * source.sizeInBytes());
}
BENCHMARK(BM_DarkenedImage512);

// The floor: copying the same bytes into a buffer that already exists.
void BM_Memcpy512(benchmark::State &state)
{
    const QImage source = keyPicture(512);
    std::vector<uchar> target(static_cast<std::size_t>(source.sizeInBytes()));
    for (auto _ : state) {
        std::memcpy(target.data(), source.constBits(), target.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * source.sizeInBytes());
}
BENCHMARK(BM_Memcpy512);

// Sums the area of what a widget is asked to paint.
class PaintedArea : public QObject {
public:
    long long area = 0;
    long long paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            for (const QRect &r : static_cast<QPaintEvent *>(event)->region())
                area += static_cast<long long>(r.width()) * r.height();
            ++paints;
        }
        return false;
    }
};

// A panel-sized fader (36 x 172 with the panel's caps) in a shown off-screen window.
struct FaderStage {
    QWidget window;
    ARoundButtonSlider *slider = new ARoundButtonSlider(&window);
    PaintedArea painted;

    FaderStage()
    {
        window.resize(80, 220);
        slider->setGeometry(20, 20, 36, 172);
        slider->setMinValue(0.0);
        slider->setMaxValue(1.0);
        slider->setFocusImageName(QStringLiteral("pick_on"));
        slider->setUnfocusImageName(QStringLiteral("pick_off"));
        slider->setBackColor(QColor::fromRgbF(0, 0, 0, 0));
        window.show();
        settle();
        slider->installEventFilter(&painted);
    }
    static void settle()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    double sliderArea() const { return 36.0 * 172.0; }
};

void BM_FaderValueChange(benchmark::State &state)
{
    FaderStage stage;
    double value = 0.0;
    for (auto _ : state) {
        value = value > 0.5 ? 0.25 : 0.75;
        stage.slider->setDoubleValue(value);
        FaderStage::settle();
    }
    const double paints = static_cast<double>(stage.painted.paints);
    state.counters["painted_px"] = paints > 0 ? static_cast<double>(stage.painted.area) / paints : 0.0;
    state.counters["painted_share"]
        = paints > 0 ? static_cast<double>(stage.painted.area) / paints / stage.sliderArea() : 0.0;
}
BENCHMARK(BM_FaderValueChange);

// For scale: the whole fader repainted.
void BM_FaderFullRepaint(benchmark::State &state)
{
    FaderStage stage;
    for (auto _ : state) {
        stage.slider->update();
        FaderStage::settle();
    }
    const double paints = static_cast<double>(stage.painted.paints);
    state.counters["painted_px"] = paints > 0 ? static_cast<double>(stage.painted.area) / paints : 0.0;
}
BENCHMARK(BM_FaderFullRepaint);

// Prints the usual table, then the figures side by side.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, Run> runs;

    // Colour only on a terminal: a colour code left at the start of the summary would hide it
    // from scripts/bench.
    RatioReporter()
        : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run> &report) override
    {
        for (const Run &run : report)
            runs[run.benchmark_name()] = run;
        ConsoleReporter::ReportRuns(report);
    }
};

double nanoseconds(const benchmark::BenchmarkReporter::Run &run)
{
    return run.GetAdjustedRealTime() * benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond)
        / benchmark::GetTimeUnitMultiplier(run.time_unit);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initPanelResources();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto &r = reporter.runs;
    const auto find = [&](const char *name) { return r.find(name); };
    if (find("BM_DarkenedImage512") != r.end() && find("BM_Memcpy512") != r.end()) {
        const double dark = nanoseconds(find("BM_DarkenedImage512")->second);
        const double copy = nanoseconds(find("BM_Memcpy512")->second);
        std::printf("summary: controls: darkening a 512x512 picture takes %.1f us and a memcpy of the same bytes "
                    "%.1f us, so darkening is %.2fx slower than the copy (aim: at most 3x)\n",
                    dark / 1000, copy / 1000, dark / copy);
    }
    if (find("BM_FaderValueChange") != r.end() && find("BM_FaderFullRepaint") != r.end()) {
        const auto &move = find("BM_FaderValueChange")->second;
        const auto &full = find("BM_FaderFullRepaint")->second;
        const double share = move.counters.count("painted_share") ? double(move.counters.at("painted_share")) : 0.0;
        std::printf("summary: controls: a fader value change to the end of its repaint takes %.1f us and a whole "
                    "fader repaint %.1f us, so the change costs %.2fx the whole repaint; it paints %.0f of %d px "
                    "(%.1f%% of the fader)\n",
                    nanoseconds(move) / 1000, nanoseconds(full) / 1000, nanoseconds(move) / nanoseconds(full),
                    move.counters.count("painted_px") ? double(move.counters.at("painted_px")) : 0.0, 36 * 172,
                    share * 100);
    }
    return 0;
}
