// One installer download from a real web server (python3 http.server on loopback), timed for
// our client into memory and into a file, and for the floor: a bare socket that sends the
// same request and reads to the close. Run: build/bench/bench_http_download [megabytes]
// (default 50)
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "net/http/http_client.h"
#include "tests/support/http_file_server.h"
#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 5;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double OurGet(int port, kavrel::TStream* file) {
    const auto start = Clock::now();
    kavrel::THTTPClient http;
    http.SetHost("127.0.0.1");
    http.SetPort(port);
    http.Connect(10000);
    if (file != nullptr)
        http.Get("/big.bin", *file);
    else
        (void)http.Get("/big.bin").size();
    http.Disconnect();
    return Seconds(start);
}

double Floor(int port) {
    const auto start = Clock::now();
    kavrel::TUniqueFd fd(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) std::exit(1);
    const std::string request = "GET /big.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    if (::send(fd.get(), request.data(), request.size(), 0) < 0) std::exit(1);
    std::vector<char> buffer(32768);
    while (::recv(fd.get(), buffer.data(), buffer.size(), 0) > 0) {
    }
    return Seconds(start);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 50;
    kavrel::test::TTempDir dir;
    kavrel::test::WriteFile(dir / "big.bin", std::string(megabytes * 1048576L, 'x'));
    kavrel::test::THTTPFileServer server(dir.path());
    std::vector<double> memory, file, floor;
    for (int i = 0; i < kRounds; ++i) {
        memory.push_back(OurGet(server.Port(), nullptr));
        const std::string path = dir / "copy.bin";
        std::filesystem::remove(path);
        kavrel::TFileStream out(kavrel::TUniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT, 0600)));
        file.push_back(OurGet(server.Port(), &out));
        out.Close();
        floor.push_back(Floor(server.Port()));
    }
    auto rate = [megabytes](double s) { return megabytes / s; };
    std::printf("%d MB from python3 http.server on loopback, median of %d runs:\n", megabytes,
                kRounds);
    std::printf("  THTTPClient into memory  %7.1f MB/s\n", rate(Median(memory)));
    std::printf("  THTTPClient into a file  %7.1f MB/s (with fsync)\n", rate(Median(file)));
    std::printf("  bare socket to the close %7.1f MB/s\n", rate(Median(floor)));
    return 0;
}
