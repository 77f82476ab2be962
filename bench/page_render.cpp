// Times the message table page of 100 rows (or as many as asked): building its text, loading
// it into the page viewer (parse and layout at 700 pixels), laying it out again at a new
// width, and painting it. Runs on Qt's offscreen platform.
// Run: build/bench/bench_page_render [rounds] [rows]
#include <QApplication>
#include <QImage>
#include <QPainter>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "bench/timing.h"
#include "core/message_page.h"
#include "ui/page_viewer.h"
#include "ui/palette_colors.h"

using kavrel::bench::MillisecondsOf;

int main(int argc, char** argv) {
    using namespace kavrel;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int rows = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;

    TMailList list;
    for (int i = 0; i < rows; ++i) {
        PW_MAIL& m = AppendMail(list);
        m.AccountIndex = 1 + i % 4;
        m.MailBox = "pop" + std::to_string(m.AccountIndex) + ".example.org->user";
        m.FromAddress = "someone" + std::to_string(i) + "@example.com";
        m.FoundAt = "10:15a";
        m.SentAt = "12/1/2026 9:03a";
        m.Size = 1000 + 517 * i;
        m.Subject = "Weekly report number " + std::to_string(i) + " & notes <draft>";
    }
    const TPaletteColors colors;
    const TDateTime today = *TryEncodeDate(2026, 12, 9);
    std::string page;
    const double build = MillisecondsOf(rounds, [&] {
        BuildMessagePage(list, colors, today, [&](const std::string& p) { page = p; });
    });

    TPageViewer viewer;
    viewer.resize(700, 500);
    viewer.show();
    QCoreApplication::processEvents();
    const double load = MillisecondsOf(rounds, [&] { viewer.LoadFromString(page); });
    int width = 480;
    const double relayout = MillisecondsOf(rounds, [&] {
        viewer.resize(width, 500);
        QCoreApplication::processEvents();
        width = width == 480 ? 700 : 480;
    });
    QImage image(viewer.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    const double paint = MillisecondsOf(rounds, [&] { viewer.viewport()->render(&image); });

    std::printf("BuildMessagePage, %d rows: %.3f ms (%zu bytes)\n", rows, build, page.size());
    std::printf("LoadFromString (parse + layout at 700 px): %.2f ms\n", load);
    std::printf("layout again at a new width: %.2f ms\n", relayout);
    std::printf("paint of the visible part: %.2f ms\n", paint);
    return 0;
}
