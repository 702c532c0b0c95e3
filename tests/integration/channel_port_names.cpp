// Port name resolution: path, entry in the base directory, COMn, bare device name.
#include <gtest/gtest.h>

#include <fstream>

#include "PortNames.h"
#include "channel_pty.h"

namespace kt::device {
namespace {

TEST(PortNames, ComNumberAcceptsOnlyComFollowedByAPositiveNumber) {
    EXPECT_EQ(ComPortNumber("COM1"), 1);
    EXPECT_EQ(ComPortNumber("com12"), 12);
    EXPECT_EQ(ComPortNumber("Com007"), 7);
    EXPECT_EQ(ComPortNumber("COM0"), 0);
    EXPECT_EQ(ComPortNumber("COM"), 0);
    EXPECT_EQ(ComPortNumber("COM1a"), 0);
    EXPECT_EQ(ComPortNumber("COMX"), 0);
    EXPECT_EQ(ComPortNumber("XCOM1"), 0);
    EXPECT_EQ(ComPortNumber("COM1234567"), 0);  // more digits than any cut name holds
}

TEST(PortNames, NameWithSlashIsAPathEvenWhenTheBaseHoldsAnEntry) {
    test::TempDir dir;
    std::ofstream(dir.path() + "/sub").put('x');
    EXPECT_EQ(ResolvePortPath("sim/COM1", dir.path()), "sim/COM1");
    EXPECT_EQ(ResolvePortPath("/dev/tty0", dir.path()), "/dev/tty0");
    EXPECT_EQ(ResolvePortPath("./sub", dir.path()), "./sub");
}

TEST(PortNames, EntryInTheBaseDirectoryComesFirst) {
    test::TempDir dir;
    dir.Link("COM1", "/dev/null");
    dir.Link("ttyUSB0", "/nonexistent/device");  // a dangling link still names the port
    EXPECT_EQ(ResolvePortPath("COM1", dir.path()), dir.path() + "/COM1");
    EXPECT_EQ(ResolvePortPath("COM1", dir.path() + "/"), dir.path() + "/COM1");
    EXPECT_EQ(ResolvePortPath("ttyUSB0", dir.path()), dir.path() + "/ttyUSB0");
}

TEST(PortNames, WithoutAnEntryComMapsToTtySAndOtherNamesToDev) {
    test::TempDir dir;
    dir.Link("COM1", "/dev/null");
    EXPECT_EQ(ResolvePortPath("COM2", dir.path()), "/dev/ttyS1");
    EXPECT_EQ(ResolvePortPath("com10", dir.path()), "/dev/ttyS9");
    EXPECT_EQ(ResolvePortPath("COM0", dir.path()), "/dev/COM0");
    EXPECT_EQ(ResolvePortPath("ttyACM0", dir.path()), "/dev/ttyACM0");
    // An empty base directory is not looked in at all.
    EXPECT_EQ(ResolvePortPath("COM1", ""), "/dev/ttyS0");
}

// Whose refusal of low latency is logged: the lines of USB adapters, also behind a link.
TEST(PortNames, UsbSerialDevicesAreKnownByTheNameTheyLeadTo) {
    test::TempDir dir;
    for (const char* name : {"ttyUSB0", "ttyACM12", "ttyS0", "pts"}) {
        std::ofstream(dir.path() + "/" + name).put('x');
    }
    dir.Link("COM1", dir.path() + "/ttyUSB0");
    dir.Link("COM2", dir.path() + "/ttyS0");
    const std::pair<std::string, bool> cases[] = {
        {"/ttyUSB0", true}, {"/ttyACM12", true}, {"/ttyS0", false},  {"/pts", false},
        {"/COM1", true},    {"/COM2", false},    {"/ttyUSB9", true},  // missing: by its name
    };
    for (const auto& [name, usb] : cases) {
        EXPECT_EQ(IsUsbSerialDevice(dir.path() + name), usb) << name;
    }
}

}  // namespace
}  // namespace kt::device
