#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "PortErrors.h"
#include "Tserial_event.h"

using kt::device::OpenFailureDetails;
using kt::device::OpenFailureReason;

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(PortErrors, DetailsGiveThePathTheSystemsReasonAndTheFitOfTheFix) {
    struct Case {
        int err;
        const char* hint;  // the one hint expected, nullptr for none
    };
    const char* kHints[] = {"grupy dialout", "zajęty", "nie istnieje", "nie ma działającego"};
    const Case rows[] = {
        {EACCES, "sudo usermod -aG dialout $USER"},
        {EPERM, "sudo usermod -aG dialout $USER"},
        {EWOULDBLOCK, "Port jest zajęty przez inny program."},
        {EBUSY, "Port jest zajęty przez inny program."},
        {ENOENT, "Taki port nie istnieje."},
        {EIO, "Pod tą nazwą nie ma działającego portu."},
        {ENXIO, "Pod tą nazwą nie ma działającego portu."},
        {ENODEV, "Pod tą nazwą nie ma działającego portu."},
        {ENOTTY, nullptr},
        {EINVAL, nullptr},
    };
    for (const Case& c : rows) {
        const std::string text =
            OpenFailureDetails("ttyUSB0", "/dev/ttyUSB0", kt::device::OPEN_PORT_FAILED, c.err);
        SCOPED_TRACE(text);
        EXPECT_EQ(text.rfind("Port: ttyUSB0 (/dev/ttyUSB0)\nPowód: ", 0), 0u);
        EXPECT_TRUE(Has(text, std::strerror(c.err)));
        int hints = 0;
        for (const char* hint : kHints) hints += Has(text, hint) ? 1 : 0;
        EXPECT_EQ(hints, c.hint ? 1 : 0);
        if (c.hint) {
            EXPECT_TRUE(Has(text, c.hint));
        }
    }
}

TEST(PortErrors, WithoutAnErrnoTheResultCodeIsExplainedAndAPathEqualToTheNameIsNotRepeated) {
    using namespace kt::device;
    EXPECT_EQ(OpenFailureDetails("/dev/pts/3", "/dev/pts/3", OPEN_LINE_SETTINGS_FAILED, 0),
              "Port: /dev/pts/3\nPowód: the line settings were refused (not a serial line)");
    EXPECT_EQ(OpenFailureDetails("", "", OPEN_NO_NAME, 0), "Port: \nPowód: no port name was given");
    // The system's reason wins over the result code.
    EXPECT_EQ(OpenFailureReason(OPEN_LINE_SETTINGS_FAILED, ENOTTY), std::strerror(ENOTTY));
}
