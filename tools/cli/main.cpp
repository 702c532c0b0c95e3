// kt210v-cli: the indicator's device core without a window, for scripts and checks.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Commands.h"
#include "RecordCommand.h"
#include "RecoverCommand.h"
#include "SampleCommand.h"
#include "SettingsCommand.h"

namespace {

void Usage(FILE* out) {
    std::fprintf(out,
                 "usage: kt210v-cli [--port NAME] identify\n"
                 "       kt210v-cli [--port NAME] set KEY=VALUE...\n"
                 "       kt210v-cli [--port NAME] monitor\n"
                 "       kt210v-cli [--port NAME] sample [--period MS | --realtime]\n"
                 "                                       [--duration S | --count N] [--reconnect]\n"
                 "                                       [--inter-byte-reads]\n"
                 "                                       [--mqtt HOST[:PORT] [--mqtt-topic P]]\n"
                 "       kt210v-cli [--port NAME] record --out F.txt|F.xls|F.xlsx|F.csv\n"
                 "                                       [--date] [--time] [--pk] + sample's\n"
                 "                                       options; the rows kept in F.journal\n"
                 "       kt210v-cli recover JOURNAL --out F   the file of a journal\n"
                 "                                       left by a run\n"
                 "       kt210v-cli [--port NAME] write-settings FILE\n"
                 "       kt210v-cli --help\n"
                 "NAME defaults to COM1 and resolves as the program resolves it: a path, an\n"
                 "entry of that name in the current directory, COMn as /dev/ttyS(n-1), or\n"
                 "/dev/NAME. Keys: mode decp Beep OnTime PK1 PK2 LED Q_NR UZP0 UZP1 UZP2\n"
                 "Offset0 Offset1 Offset2 COEF0 COEF1 COEF2 (decimal point in numbers;\n"
                 "the device tab's ranges: mode 0-4, decp 0-6, Beep 0-1, OnTime 1-32732,\n"
                 "LED 0-9, Q_NR 0-2).\n"
                 "sample prints CSV on stdout (elapsed_s, angles, cycles, pk1, pk2), one line\n"
                 "per measurement; defaults --period 100 --duration 10; a summary on stderr.\n"
                 "--inter-byte-reads ends reads after 40 ms of silence instead of at a frame's\n"
                 "end. write-settings writes a new config.ini (FILE) as the program writes it\n"
                 "at its first close, NAME as its port; an existing FILE is kept (exit 5).\n"
                 "--reconnect: a lost port does not end the run; it is waited for, opened\n"
                 "again and the run resumed (stderr says when it was lost and came back).\n"
                 "--mqtt publishes every sample as JSON to P/sample on that broker (port 1883\n"
                 "by default, P kt210v/ and the host name), the run's status retained on\n"
                 "P/status (\"offline\" once the tool is gone); a broker that is down costs\n"
                 "log lines only, and a summary line on stderr counts what reached it.\n"
                 "Exit: 0 done, 1 port not opened or lost or standard output not written,\n"
                 "2 usage, 3 a wizard step failed, 4 values not confirmed within 5 s, 5 the file\n"
                 "of record, recover or write-settings not written.\n");
}

int Dispatch(int argc, char** argv) {
    std::string port = "COM1";
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Usage(stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--port") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "--port needs a name\n");
                return kt::cli::EXIT_USAGE;
            }
            port = argv[++i];
        } else {
            args.emplace_back(argv[i]);
        }
    }
    if (args.empty()) {
        Usage(stderr);
        return kt::cli::EXIT_USAGE;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "identify" && args.empty()) return kt::cli::Identify(port);
    if (command == "monitor" && args.empty()) return kt::cli::Monitor(port);
    if (command == "set" && !args.empty()) return kt::cli::SetValues(port, args);
    if (command == "sample") return kt::cli::SampleCommand(port, args);
    if (command == "record") return kt::cli::RecordCommand(port, args);
    if (command == "write-settings") return kt::cli::WriteSettingsCommand(port, args);
    if (command == "recover") return kt::cli::RecoverCommand(args);
    std::fprintf(stderr, "unknown command or arguments: %s\n", command.c_str());
    Usage(stderr);
    return kt::cli::EXIT_USAGE;
}

}  // namespace

int main(int argc, char** argv) {
    // Over a file-size limit a write fails with EFBIG, reported like any other failed
    // write, instead of the signal killing the tool and losing its rows.
    std::signal(SIGXFSZ, SIG_IGN);
    return kt::cli::FinishOutput(Dispatch(argc, argv));
}
