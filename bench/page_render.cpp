// Times the message table page of 100 rows (or as many as asked) in the page viewer, every
// round a page the viewer has not seen: building its text, showing it (load and first paint,
// at 700 x 500 pixels), scrolling it by a wheel step and by a jump to any place, each with
// its repaint, and laying it out again at a new width. Ends with the peak resident memory.
// Runs on Qt's offscreen platform.
// Run: build/bench/bench_page_render [rounds] [rows]
#include <QApplication>
#include <QImage>
#include <QScrollBar>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/timing.h"
#include "core/message_page.h"
#include "ui/page_viewer.h"
#include "ui/palette_colors.h"

using kavrel::bench::MillisecondsOf;

namespace {

struct TSpread {
    double sum = 0;
    double max = 0;
    int count = 0;
    void Add(double ms) { sum += ms, max = std::max(max, ms), ++count; }
    double Mean() const { return count ? sum / count : 0; }
};

double TimeOf(const std::function<void()>& step) { return MillisecondsOf(1, step); }

long PeakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kavrel;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int rows = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;

    const TPaletteColors colors;
    const TDateTime today = *TryEncodeDate(2026, 12, 9);
    // A different page every round: the viewer keeps a page it is given again.
    const auto pageOf = [&](int round) {
        TMailList list;
        for (int i = 0; i < rows; ++i) {
            PW_MAIL& m = AppendMail(list);
            m.AccountIndex = 1 + i % 4;
            m.MailBox = "pop" + std::to_string(m.AccountIndex) + ".example.org->user";
            m.FromAddress = "someone" + std::to_string(i) + "@example.com";
            m.FoundAt = "10:15a";
            m.SentAt = "12/1/2026 9:03a";
            m.Size = 1000 + 517 * i + round;
            m.Subject = "Weekly report number " + std::to_string(i) + " & notes <draft>" +
                        std::string(std::size_t((i * 7 + round) % 5), '!');
        }
        std::string page;
        BuildMessagePage(list, colors, today, [&](const std::string& p) { page = p; });
        return page;
    };

    TSpread build, shown, wheel, jump, relayout;
    TPageViewer viewer;
    viewer.resize(700, 500);
    viewer.show();
    QCoreApplication::processEvents();
    QImage image(viewer.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    QScrollBar* bar = viewer.verticalScrollBar();
    std::mt19937 random(1);
    std::size_t bytes = 0;
    for (int round = 0; round < rounds; ++round) {
        std::string page;
        build.Add(TimeOf([&] { page = pageOf(round); }));
        bytes = page.size();
        shown.Add(TimeOf([&] {
            viewer.LoadFromString(page);
            viewer.viewport()->render(&image);
        }));
        page = std::string();
        // A wheel notch moves three steps.
        for (int step = 0; step < 10; ++step) {
            wheel.Add(TimeOf([&] {
                bar->setValue(bar->value() + 3 * bar->singleStep());
                viewer.viewport()->render(&image);
            }));
        }
        for (int step = 0; step < 5; ++step) {
            const int to = int(random() % unsigned(bar->maximum() + 1));
            jump.Add(TimeOf([&] {
                bar->setValue(to);
                viewer.viewport()->render(&image);
            }));
        }
        relayout.Add(TimeOf([&] {
            viewer.resize(round % 2 ? 700 : 480, 500);
            QCoreApplication::processEvents();
            viewer.viewport()->render(&image);
        }));
        viewer.resize(700, 500);
        QCoreApplication::processEvents();
    }

    std::printf("BuildMessagePage, %d rows: %.3f ms (%zu bytes)\n", rows, build.Mean(), bytes);
    std::printf("page shown (load + first paint, 700 x 500): mean %.2f ms, max %.2f ms\n",
                shown.Mean(), shown.max);
    std::printf("scroll a wheel step + repaint: mean %.2f ms, max %.2f ms\n", wheel.Mean(),
                wheel.max);
    std::printf("jump anywhere + repaint: mean %.2f ms, max %.2f ms\n", jump.Mean(), jump.max);
    std::printf("layout again at a new width + repaint: mean %.2f ms, max %.2f ms\n",
                relayout.Mean(), relayout.max);
    std::printf("peak resident memory: %.1f MiB\n", double(PeakResidentKiB()) / 1024);
    return 0;
}
