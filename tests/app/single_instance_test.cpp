// Two or more real processes against one runtime folder, as two starts of the program are.
#include "app/single_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace kavrel {
namespace {

// One start of the probe program, with its own runtime folder as its session would give it.
class TProbe {
  public:
    TProbe(const std::string& runtime, QStringList args = {}, QString token = {}) {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime));
        env.remove("XDG_ACTIVATION_TOKEN");
        if (!token.isEmpty()) env.insert("XDG_ACTIVATION_TOKEN", token);
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(KAVREL_INSTANCE_PROBE, args);
    }
    TProbe(const TProbe&) = delete;
    TProbe& operator=(const TProbe&) = delete;
    ~TProbe() {
        if (process_.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(process_.processId()), SIGCONT);
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // Waits until the probe has said `word` `times` times in all.
    bool Said(const QByteArray& word, int times = 1, int ms = 8000) {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            output_ += process_.readAllStandardOutput();
            if (Count(word) >= times) return true;
            if (clock.elapsed() > ms) return false;
            if (!process_.waitForReadyRead(100) && process_.state() == QProcess::NotRunning) {
                output_ += process_.readAllStandardOutput();
                return Count(word) >= times;
            }
        }
    }
    int Count(const QByteArray& word) const {
        int n = 0;
        for (const QByteArray& line : output_.split('\n')) n += line == word ? 1 : 0;
        return n;
    }
    // True when the probe ended by itself with exit code 0 within `ms`.
    bool EndedCleanly(int ms = 8000) {
        // waitForFinished is false for a process that has already ended.
        if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(ms)) return false;
        output_ += process_.readAllStandardOutput();
        return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }
    void Signal(int sig) { ::kill(static_cast<pid_t>(process_.processId()), sig); }
    void KillAndReap() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    const QByteArray& Output() const { return output_; }

  private:
    QProcess process_;
    QByteArray output_;
};

TEST(SingleInstance, SecondStartShowsTheFirstAndEnds) {
    test::TTempDir runtime;
    TProbe first(runtime.path());
    ASSERT_TRUE(first.Said("first")) << first.Output().toStdString();
    for (int n = 1; n <= 2; ++n) {
        TProbe second(runtime.path());
        EXPECT_TRUE(second.EndedCleanly()) << n;
        EXPECT_EQ(second.Output(), "second\n") << n;
        EXPECT_TRUE(first.Said("shown", n)) << n;
    }
}

// The launcher's token lets the first copy's raise through on Wayland; it is handed over.
TEST(SingleInstance, SecondStartHandsOverItsActivationToken) {
    test::TTempDir runtime;
    TProbe first(runtime.path());
    ASSERT_TRUE(first.Said("first"));
    TProbe second(runtime.path(), {}, "kwin-42_abc.DEF");
    EXPECT_TRUE(second.EndedCleanly());
    EXPECT_TRUE(first.Said("token kwin-42_abc.DEF"));
    TProbe third(runtime.path());
    EXPECT_TRUE(third.EndedCleanly());
    EXPECT_TRUE(first.Said("shown", 2));
    EXPECT_EQ(first.Count("token kwin-42_abc.DEF"), 1) << "a token is used once only";
}

TEST(SingleInstance, CrashedFirstCopyDoesNotBlockTheNextStart) {
    test::TTempDir runtime;
    {
        TProbe crashed(runtime.path());
        ASSERT_TRUE(crashed.Said("first"));
        crashed.KillAndReap();
    }
    // What the crash left behind is what the next start must see through.
    const QString base = QString::fromStdString(runtime.path()) + "/kavrel_program_mutex-" +
                         QString::number(::getuid());
    ASSERT_TRUE(QFileInfo::exists(base + ".lock"));
    ASSERT_TRUE(QFileInfo::exists(base));

    QElapsedTimer clock;
    clock.start();
    TProbe next(runtime.path());
    ASSERT_TRUE(next.Said("first")) << next.Output().toStdString();
    EXPECT_LT(clock.elapsed(), 4000);
    TProbe later(runtime.path());
    EXPECT_TRUE(later.EndedCleanly());
    EXPECT_TRUE(next.Said("shown"));
}

TEST(SingleInstance, HungFirstCopyDelaysTheSecondStartOnlyBriefly) {
    test::TTempDir runtime;
    TProbe first(runtime.path());
    ASSERT_TRUE(first.Said("first"));
    first.Signal(SIGSTOP);
    QElapsedTimer clock;
    clock.start();
    TProbe second(runtime.path());
    EXPECT_TRUE(second.EndedCleanly(15000));
    EXPECT_EQ(second.Output(), "second\n");
    EXPECT_LT(clock.elapsed(), 10000);
    // The request waited in the first copy's queue and is served when it runs again.
    first.Signal(SIGCONT);
    EXPECT_TRUE(first.Said("shown"));
}

TEST(SingleInstance, StartsAtOnceGiveOneFirstCopy) {
    test::TTempDir runtime;
    constexpr int kStarts = 5;
    std::vector<std::unique_ptr<TProbe>> probes;
    for (int n = 0; n < kStarts; ++n) probes.push_back(std::make_unique<TProbe>(runtime.path()));
    int firsts = 0;
    TProbe* first = nullptr;
    for (auto& probe : probes) {
        if (probe->Said("first", 1, 10000)) {
            ++firsts;
            first = probe.get();
        } else {
            EXPECT_TRUE(probe->EndedCleanly());
            EXPECT_EQ(probe->Output(), "second\n");
        }
    }
    ASSERT_EQ(firsts, 1);
    EXPECT_TRUE(first->Said("shown", kStarts - 1));
}

TEST(SingleInstance, EndedFirstCopyLeavesTheNextStartFirst) {
    test::TTempDir runtime;
    TProbe first(runtime.path(), {"--quit-on-show"});
    ASSERT_TRUE(first.Said("first"));
    TProbe second(runtime.path());
    EXPECT_TRUE(second.EndedCleanly());
    EXPECT_TRUE(first.EndedCleanly());
    EXPECT_EQ(first.Output(), "first\nshown\n");
    TProbe third(runtime.path());
    EXPECT_TRUE(third.Said("first"));
}

TEST(SingleInstance, SessionsWithTheirOwnRuntimeFoldersAreIndependent) {
    test::TTempDir one, two;
    TProbe a(one.path());
    TProbe b(two.path());
    EXPECT_TRUE(a.Said("first"));
    EXPECT_TRUE(b.Said("first"));
}

// The socket and lock stay inside the runtime folder, named for the user.
TEST(SingleInstance, ServerPathIsPerUserInTheRuntimeFolder) {
    test::TTempDir runtime;
    TSingleInstance instance(QString::fromStdString(runtime.path()), {});
    EXPECT_EQ(instance.ServerPath(), QString::fromStdString(runtime.path()) +
                                         "/kavrel_program_mutex-" + QString::number(::getuid()));
    ASSERT_TRUE(instance.Acquire());
    EXPECT_TRUE(QFileInfo::exists(instance.ServerPath() + ".lock"));
    // Asking again in the same copy is not a second start.
    EXPECT_TRUE(instance.Acquire());
}

// What another local program may send: only the one request shows the window.
TEST(SingleInstance, OnlyTheShowRequestShowsTheWindow) {
    struct TCase {
        const char* name;
        QByteArray sent;
        int shown;
        QByteArray answer;
        QByteArray token = {};
    };
    const TCase cases[] = {
        {"request", "show\n", 1, "ok\n"}, {"request_with_crlf", "show\r\n", 1, "ok\n"},
        {"other_word", "quit\n", 0, ""},  {"longer_word", "showx\n", 0, ""},
        {"upper_case", "SHOW\n", 0, ""},  {"no_line_end", "show", 0, ""},
        {"nothing", "", 0, ""},           {"flood_without_line_end", QByteArray(4096, 's'), 0, ""},
    };
    test::TTempDir runtime;
    TSingleInstance instance(QString::fromStdString(runtime.path()), {});
    ASSERT_TRUE(instance.Acquire());
    int shown = 0;
    QByteArray token;
    QObject::connect(&instance, &TSingleInstance::ShowRequested, [&] {
        ++shown;
        token = qgetenv("XDG_ACTIVATION_TOKEN");
    });
    for (const auto& c : cases) {
        shown = 0;
        token.clear();
        QLocalSocket peer;
        peer.connectToServer(instance.ServerPath());
        ASSERT_TRUE(peer.waitForConnected(1000)) << c.name;
        peer.write(c.sent);
        peer.flush();
        // Both ends live in this thread: let the server run until it has had its say.
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 300 && peer.state() == QLocalSocket::ConnectedState) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        EXPECT_EQ(shown, c.shown) << c.name;
        EXPECT_EQ(peer.readAll(), c.answer) << c.name;
        EXPECT_EQ(token, c.token) << c.name;
        EXPECT_FALSE(qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN")) << c.name;
    }
}

TEST(SingleInstance, FolderThatRefusesTheLockStillStartsTheProgram) {
    test::TTempDir runtime;
    const std::string missing = runtime / "gone";
    TSingleInstance instance(QString::fromStdString(missing), {});
    EXPECT_TRUE(instance.Acquire());
}

}  // namespace
}  // namespace kavrel
