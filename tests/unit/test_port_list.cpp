#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "PortList.h"
#include "TempFolder.h"

using kt::device::ListSerialPorts;
using kt::device::NaturalLess;
using kt::test::TempFolder;
using kt::test::WriteBytes;
using Names = std::vector<std::string>;

namespace {

// A fake machine: /dev entries and the serial core's port types under /sys/class/tty.
class FakeMachine {
public:
    FakeMachine() {
        std::filesystem::create_directories(root / "dev");
        std::filesystem::create_directories(root / "sys/class/tty");
    }
    void Device(const std::string& name) { WriteBytes(root / ("dev/" + name), ""); }
    void Uart(const std::string& name, const std::string& typeText) {
        Device(name);
        std::filesystem::create_directories(root / ("sys/class/tty/" + name));
        WriteBytes(root / ("sys/class/tty/" + name + "/type"), typeText);
    }
    TempFolder root;
};

}  // namespace

TEST(PortList, ListsUsbAndModemPortsAndOnlyTheUartsTheDriverFound) {
    FakeMachine m;
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyUSB0", "ttyACM0", "ttyACM1"})
        m.Device(name);
    m.Uart("ttyS0", "4\n");  // 16550A
    m.Uart("ttyS1", "0\n");  // placeholder line of the 8250 driver
    m.Uart("ttyS2", "4\n");
    m.Uart("ttyS10", "19\n");
    m.Uart("ttyS3", "");     // no type at all
    m.Uart("ttyS4", "x\n");  // unreadable type
    m.Device("ttyS5");       // no sysfs entry: nothing says a chip is there
    // Not serial ports, or not names the port box resolves to /dev/NAME.
    for (const char* name : {"tty0", "tty10", "ttyprintk", "ttyUSB", "ttyS", "ttyUSB0.bak",
                             "ttyACMx", "console", "ttyAMA0", "xttyUSB3"}) {
        m.Device(name);
    }
    std::filesystem::create_directories(m.root / "dev/ttyUSB5");  // a folder is no port
    ASSERT_EQ(symlink("/nonexistent/kt210v-port", (m.root / "dev/ttyUSB7").c_str()), 0);
    ASSERT_EQ(symlink("ttyUSB0", (m.root / "dev/ttyUSB8").c_str()), 0);  // links that lead on

    // Adapters by maker and serial number, by their whole path after the short names.
    const std::string byId = m.root.path() + "/dev/serial/by-id/";
    std::filesystem::create_directories(byId + "folder");
    ASSERT_EQ(symlink("../../ttyUSB2", (byId + "usb-FTDI_FT232R-if00-port0").c_str()), 0);
    ASSERT_EQ(symlink("../../ttyACM1", (byId + "usb-Arduino_Uno_75833-if00").c_str()), 0);
    ASSERT_EQ(symlink("../../ttyUSB9", (byId + "usb-gone-if00").c_str()), 0);

    Names expected = {"ttyACM0", "ttyACM1", "ttyS0",   "ttyS2",   "ttyS10",
                      "ttyUSB0", "ttyUSB2", "ttyUSB8", "ttyUSB10"};
    expected.push_back(byId + "usb-Arduino_Uno_75833-if00");
    expected.push_back(byId + "usb-FTDI_FT232R-if00-port0");
    EXPECT_EQ(ListSerialPorts(m.root.path()), expected);
    EXPECT_EQ(ListSerialPorts(m.root.path() + "/"), expected);
}

TEST(PortList, AMachineWithoutPortsOrWithoutDevGivesAnEmptyList) {
    FakeMachine m;
    m.Device("tty0");
    m.Uart("ttyS0", "0\n");
    EXPECT_EQ(ListSerialPorts(m.root.path()), Names{});
    EXPECT_EQ(ListSerialPorts(m.root / "missing"), Names{});
}

TEST(PortList, NaturalOrderComparesDigitRunsByValue) {
    struct Case {
        const char* a;
        const char* b;
    };
    // a strictly before b in every row.
    const Case rows[] = {
        {"ttyS2", "ttyS10"},
        {"ttyS9", "ttyS10"},
        {"ttyACM0", "ttyS0"},
        {"ttyS0", "ttyUSB0"},
        {"ttyS", "ttyS0"},
        {"ttyS1", "ttyS1a"},
        {"ttyS01", "ttyS1"},
        {"ttyS1", "ttyS002"},
        {"a2b9x", "a2b10"},
        {"ttyUSB99999999999999999998", "ttyUSB99999999999999999999"},
        {"", "a"},
    };
    for (const Case& c : rows) {
        EXPECT_TRUE(NaturalLess(c.a, c.b)) << c.a << " < " << c.b;
        EXPECT_FALSE(NaturalLess(c.b, c.a)) << c.b << " < " << c.a;
    }
    EXPECT_FALSE(NaturalLess("ttyS10", "ttyS10"));

    // A strict weak order: sorting any shuffle gives the same sequence.
    Names names = {"ttyUSB10", "ttyS2", "ttyS10", "ttyS01", "ttyS1", "ttyACM3", "ttyS"};
    const Names sorted = {"ttyACM3", "ttyS", "ttyS01", "ttyS1", "ttyS2", "ttyS10", "ttyUSB10"};
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names, sorted);
    std::reverse(names.begin(), names.end());
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names, sorted);
}
