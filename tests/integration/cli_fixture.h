// kt210v-cli run as a separate process in a folder of its own, against the simulated
// indicator on a pty linked there as COM1; the simulator's traffic is kept for the test.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PtyServer.h"
#include "TempFolder.h"
#include "TestSupport.h"

struct CliRunResult {
    int exitCode = -1;
    std::string out, err;
    double ms = 0;
};

class CliFixture : public ::testing::Test {
protected:
    kt::test::TempFolder folder;
    const std::filesystem::path dir{folder.path()};
    kt::sim::PtyServer server;

    void SetUp() override {
        ASSERT_FALSE(folder.path().empty());
        server.SetTrafficLog([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(trafficMutex_);
            traffic_.push_back(line);
        });
        ASSERT_TRUE(server.Start((dir / "COM1").string())) << server.LastError();
    }
    void TearDown() override { server.Stop(); }

    std::string ReadFile(const std::string& name) const { return kt::test::ReadBytes(dir / name); }

    bool TrafficHas(const std::string& text) {
        std::lock_guard<std::mutex> lock(trafficMutex_);
        for (const auto& line : traffic_) {
            if (line.find(text) != std::string::npos) return true;
        }
        return false;
    }
    // Up to 30 s.
    void WaitForTraffic(const std::string& text) {
        for (int i = 0; i < 3000 && !TrafficHas(text); ++i) usleep(10000);
    }

    // Runs the tool with its current directory in the test folder, so "COM1" resolves to
    // the simulator's link as it would in the program's start-up directory. `shell` runs
    // before it; a redirection in `args` overrides out.txt. A second after `trigger` shows
    // in the traffic the cable is pulled, or `signal` sent, and with `replugMs` the cable
    // is plugged back that long after the pull; a tool still running 30 s later is killed.
    CliRunResult Run(const std::string& args, const std::string& shell = "",
                     const std::string& trigger = "", int signal = 0, int replugMs = 0) {
        const std::string cmd = "cd '" + dir.string() + "' && echo $$ > pid.txt && " + shell +
                                "exec '" KT210V_CLI_PATH "' > out.txt 2> err.txt " + args;
        {
            std::lock_guard<std::mutex> lock(trafficMutex_);
            traffic_.clear();  // the trigger is looked for in this run's traffic only
        }
        std::atomic<bool> finished{false};
        std::thread helper([&] {
            while (!finished && !trigger.empty() && !TrafficHas(trigger)) usleep(10000);
            const pid_t pid = std::atoi(ReadFile("pid.txt").c_str());
            if (finished || trigger.empty() || pid <= 0) return;
            std::this_thread::sleep_for(std::chrono::seconds(1));
            signal != 0 ? static_cast<void>(kill(pid, signal)) : server.Unplug();
            if (replugMs > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(replugMs));
                server.Replug();
            }
            for (int i = 0; i < 3000 && !finished; ++i) usleep(10000);
            if (!finished) kill(pid, SIGKILL);
        });
        CliRunResult r;
        const double t0 = kt::test::NowMs();
        const int status = std::system(cmd.c_str());
        finished = true;
        helper.join();
        r.ms = kt::test::NowMs() - t0;
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = ReadFile("out.txt");
        r.err = ReadFile("err.txt");
        return r;
    }

private:
    std::mutex trafficMutex_;
    std::vector<std::string> traffic_;
};
