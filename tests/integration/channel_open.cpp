// Opening the channel on a pty: results, stored name, line settings, exclusivity.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cstring>
#include <fstream>

#include "Fakes.h"
#include "channel_pty.h"

namespace kt::device {
namespace {

using test::ChannelTest;
using test::PtyPair;
using test::Recorder;

bool PtyExclusive(int slaveFd) {
    int excl = 0;
    return ioctl(slaveFd, TIOCGEXCL, &excl) == 0 && excl != 0;
}

TEST(ChannelSettings, ReadSizeIsKeptBetweenOneAnd1024) {
    Tserial_event channel;
    EXPECT_EQ(channel.ReadSize(), 1);
    channel.SetReadSize(5000);
    EXPECT_EQ(channel.ReadSize(), 1024);
    channel.SetReadSize(64);
    EXPECT_EQ(channel.ReadSize(), 64);
    channel.SetReadSize(0);
    EXPECT_EQ(channel.ReadSize(), 1);
}

TEST_F(ChannelTest, OpenReportsConnectedAndCloseReportsDisconnected) {
    ASSERT_EQ(Open(), OPEN_OK);
    EXPECT_TRUE(channel.WorkerRunning());
    EXPECT_STREQ(channel.PortName(), "COM1");
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_CONNECTED, 1, 2000));
    EXPECT_TRUE(PtyExclusive(pty.slave()));

    channel.ClosePort();
    EXPECT_FALSE(channel.WorkerRunning());
    EXPECT_FALSE(PtyExclusive(pty.slave()));
    auto events = recorder.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, SERIAL_CONNECTED);
    EXPECT_EQ(events[1].code, SERIAL_DISCONNECTED);
}

TEST_F(ChannelTest, FailedOpensStartNoWorkerAndSendNothing) {
    EXPECT_EQ(channel.OpenPort("nosuchtty", 57600, 0, 8, false), OPEN_PORT_FAILED);
    EXPECT_FALSE(channel.WorkerRunning());
    EXPECT_EQ(channel.OpenPort(nullptr, 57600, 0, 8, false), OPEN_NO_NAME);
    EXPECT_EQ(channel.OpenPort("", 57600, 0, 8, false), OPEN_NO_NAME);
    EXPECT_FALSE(channel.WorkerRunning());
    // A regular file opens and locks but has no line settings.
    std::ofstream(pty.dir() + "/plain") << "x";
    EXPECT_EQ(channel.OpenPort("plain", 57600, 0, 8, false), OPEN_LINE_SETTINGS_FAILED);
    // Line settings the port cannot take.
    EXPECT_EQ(channel.OpenPort("COM1", 12345, 0, 8, false), OPEN_LINE_SETTINGS_FAILED);
    EXPECT_EQ(channel.OpenPort("COM1", 57600, 0, 9, false), OPEN_LINE_SETTINGS_FAILED);
    EXPECT_FALSE(channel.WorkerRunning());
    EXPECT_FALSE(PtyExclusive(pty.slave()));
    EXPECT_TRUE(recorder.Events().empty());
    // None of them left the device claimed.
    EXPECT_EQ(Open(), OPEN_OK);
}

TEST_F(ChannelTest, WatchingModemLinesOnAPtyGivesOneAndLeavesThePortFree) {
    EXPECT_EQ(channel.OpenPort("COM1", 57600, 0, 8, true), OPEN_LINE_EVENTS_FAILED);
    EXPECT_FALSE(channel.WorkerRunning());
    // The file also fails its line settings: the later failure decides.
    std::ofstream(pty.dir() + "/plain") << "x";
    EXPECT_EQ(channel.OpenPort("plain", 57600, 0, 8, true), OPEN_LINE_SETTINGS_FAILED);
    EXPECT_TRUE(recorder.Events().empty());
    EXPECT_FALSE(PtyExclusive(pty.slave()));
    EXPECT_EQ(Open(), OPEN_OK);
}

// The whole name is resolved and opened; only the name kept and shown is cut to nine
// characters, so a path such as /dev/ttyUSB0 still opens.
TEST_F(ChannelTest, LongNamesOpenWholeAndAreKeptCutToNine) {
    pty.tempDir().Link("ABCDEFGHIJKL", pty.slavePath());
    ASSERT_EQ(channel.OpenPort("ABCDEFGHIJKL", 57600, 0, 8, false), OPEN_OK);
    EXPECT_STREQ(channel.PortName(), "ABCDEFGHI");
    pty.Write({0x41});
    EXPECT_TRUE(recorder.WaitForCode(SERIAL_DATA_ARRIVAL, 1, 2000));
    channel.ClosePort();
    ASSERT_EQ(channel.OpenPort(pty.slavePath().c_str(), 57600, 0, 8, false), OPEN_OK);
    EXPECT_EQ(channel.ResolvedPath(), pty.slavePath());
    EXPECT_EQ(std::string(channel.PortName()), pty.slavePath().substr(0, 9));
}

TEST_F(ChannelTest, FailedOpenKeepsTheSystemsReasonAndLogsIt) {
    kt::test::FakeWarnings warnings;
    channel.SetLog(&warnings);
    EXPECT_EQ(channel.OpenPort("/nonexistent/ttyX", 57600, 0, 8, false), OPEN_PORT_FAILED);
    EXPECT_EQ(channel.LastOpenError(), ENOENT);
    ASSERT_EQ(warnings.Lines().size(), 1u);
    EXPECT_EQ(warnings.Lines()[0],
              "error: cannot open port /nonexistent/ttyX: No such file or directory [result 8]");
    // A plain file is no serial line: the line settings fail with the system's reason.
    std::ofstream(pty.dir() + "/plain") << "x";
    EXPECT_EQ(channel.OpenPort("plain", 57600, 0, 8, false), OPEN_LINE_SETTINGS_FAILED);
    EXPECT_EQ(channel.LastOpenError(), ENOTTY);
    EXPECT_EQ(Open(), OPEN_OK);
    EXPECT_EQ(channel.LastOpenError(), 0);
    // A pty has no low-latency setting to ask for: that refusal is not worth a line.
    EXPECT_EQ(warnings.Lines().size(), 2u);
}

TEST(ChannelSettings, LineSettingsCarryParityDataBitsAndRate) {
    struct Case {
        int parity;
        int dataBits;
        tcflag_t parityFlags;
        tcflag_t size;
    };
    for (Case c : {Case{0, 8, 0, CS8}, Case{1, 8, PARENB | PARODD, CS8}, Case{2, 7, PARENB, CS7},
                   Case{7, 5, 0, CS5}}) {
        SCOPED_TRACE(c.parity);
        termios tio;
        std::memset(&tio, 0xFF, sizeof tio);  // whatever the port had before
        ASSERT_TRUE(Tserial_event::MakeLineSettings(tio, 57600, c.parity, c.dataBits));
        EXPECT_EQ(tio.c_cflag & (PARENB | PARODD), c.parityFlags);
        EXPECT_EQ(tio.c_cflag & CSIZE, c.size);
        EXPECT_EQ(tio.c_cflag & (CSTOPB | CRTSCTS | HUPCL), 0u);
        EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | ISTRIP), 0u);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B57600));
        EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B57600));
        EXPECT_EQ(tio.c_cc[VMIN], 1);
        EXPECT_EQ(tio.c_cc[VTIME], 0);
    }
    termios tio{};
    EXPECT_TRUE(Tserial_event::MakeLineSettings(tio, 115200, 0, 8));
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
    EXPECT_FALSE(Tserial_event::MakeLineSettings(tio, 12345, 0, 8));
    EXPECT_FALSE(Tserial_event::MakeLineSettings(tio, 57600, 0, 9));
    EXPECT_FALSE(Tserial_event::MakeLineSettings(tio, 57600, 0, 4));
}

// A pty keeps everything but parity (it forces 8 bits without parity itself).
TEST_F(ChannelTest, OpenPutsTheRawLineOnThePort) {
    termios before;
    ASSERT_EQ(tcgetattr(pty.slave(), &before), 0);
    ASSERT_NE(before.c_lflag & ICANON, 0u);
    ASSERT_EQ(Open(), OPEN_OK);
    termios tio;
    ASSERT_EQ(tcgetattr(pty.slave(), &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (CSTOPB | CRTSCTS | HUPCL), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B57600));
    EXPECT_EQ(tio.c_cc[VMIN], 1);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
}

TEST_F(ChannelTest, InputWaitingBeforeTheOpenIsDiscarded) {
    // A whole line, so the still canonical tty reports it readable once it is there.
    pty.Write({0x31, 0x32, 0x33, 0x0A});
    pollfd waiting{pty.slave(), POLLIN, 0};
    ASSERT_EQ(poll(&waiting, 1, 3000), 1);
    ASSERT_EQ(Open(), OPEN_OK);
    pty.Write({0x44});
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DATA_ARRIVAL, 1, 2000));
    usleep(150000);
    auto blocks = recorder.Blocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(test::ToHex(blocks[0]), "44");
}

TEST_F(ChannelTest, SecondChannelCannotOpenADeviceHeldByTheFirst) {
    ASSERT_EQ(Open(), OPEN_OK);
    Recorder otherRecorder;
    Tserial_event other;
    other.SetBaseDirectory(pty.dir());
    otherRecorder.Attach(other);
    EXPECT_EQ(other.OpenPort("COM1", 57600, 0, 8, false), OPEN_PORT_FAILED);
    EXPECT_FALSE(other.WorkerRunning());
    EXPECT_TRUE(otherRecorder.Events().empty());
    // The refused opener did not take the first one's exclusive mode away.
    EXPECT_TRUE(PtyExclusive(pty.slave()));
    pty.Write({0x5A});
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DATA_ARRIVAL, 1, 2000));

    channel.ClosePort();
    EXPECT_EQ(other.OpenPort("COM1", 57600, 0, 8, false), OPEN_OK);
    other.ClosePort();
}

TEST_F(ChannelTest, ExclusiveModeRefusesOtherOpenersOfTheTty) {
    if (geteuid() == 0) GTEST_SKIP() << "root opens a tty in exclusive mode anyway";
    ASSERT_EQ(Open(), OPEN_OK);
    int fd = open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int err = errno;
    if (fd >= 0) close(fd);
    EXPECT_EQ(fd, -1);
    EXPECT_EQ(err, EBUSY);
}

}  // namespace
}  // namespace kt::device
