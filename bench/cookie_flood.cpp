// A server that answers with a flood of "Set-cookie" values: the time the store takes for
// them, per thousand. Run: build/bench/bench_cookie_flood [count] (default 200000)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/timing.h"
#include "net/http/cookie_manager.h"

int main(int argc, char** argv) {
    using namespace kavrel;
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200000;
    TCookieManager store;
    const double ms = bench::MillisecondsOf(1, [&] {
        for (int i = 0; i < count; ++i) {
            store.TakeCookie("c" + std::to_string(i) + "=v; path=/", "updates.example.org",
                             TCookieKind::SetCookie);
        }
    });
    std::printf("%d Set-cookie values: %.1f ms, %.3f ms per thousand, %zu kept\n", count, ms,
                ms * 1000.0 / count, store.CookieCount());
    return 0;
}
