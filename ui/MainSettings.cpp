// "config.ini" in the main window: read while the window is constructed and applied to
// the controls as clicks would, written whenever the window closes. The file goes
// through the one writer of the program (temporary file, sync, rename), so a close that
// is interrupted never leaves half a file; a failure is reported with its reason. Only
// a regular file of a settings file's size is read: a pipe or a link to a device in its
// place must not hold up the start.
#include "AtomicFile.h"
#include "ChartTab.h"
#include "IndicatorTab.h"
#include "Main.h"
#include "ReadRegularFile.h"
#include "RegistrationTab.h"

namespace kt::ui {

namespace {

measurement::RegistrationBoxes BoxesOf(const measurement::AppSettings& s) {
    measurement::RegistrationBoxes b;
    b.autoRead = s.autoRegistration;
    for (int i = 0; i < 3; ++i) b.channel[i] = s.registerChannel[i];
    b.pk1 = s.registerOutput[0];
    b.pk2 = s.registerOutput[1];
    b.date = s.registerDate;
    b.time = s.registerTimeOfDay;
    b.elapsedTime = s.registerElapsed;
    b.sampleNumber = s.registerIndex;
    b.colour = s.registerColour;
    return b;
}

void StoreBoxes(const measurement::RegistrationBoxes& b, measurement::AppSettings& s) {
    s.autoRegistration = b.autoRead;
    for (int i = 0; i < 3; ++i) s.registerChannel[i] = b.channel[i];
    s.registerOutput = {b.pk1, b.pk2};
    s.registerDate = b.date;
    s.registerTimeOfDay = b.time;
    s.registerElapsed = b.elapsedTime;
    s.registerIndex = b.sampleNumber;
    s.registerColour = b.colour;
}

}  // namespace

std::string TForm1::SettingsPath() const {
    return startupDirectory_ + "/" + measurement::kSettingsFileName;
}

// Reads the file and applies each value as the operator's click would; the port name
// takes effect once the whole file has been read. A missing file is reported before the
// window shows; a file that cannot be read or is refused leaves every entry in its initial
// state; an entry that cannot be read keeps its initial state, as do all after it.
void TForm1::ReadSettings() {
    const measurement::RegularFileRead file =
        measurement::ReadRegularFile(SettingsPath(), measurement::kMaxSettingsFileBytes);
    if (file.status == measurement::RegularFileRead::Status::Missing) {
        dialogs_->ShowPlainMessage(measurement::kMissingSettingsMessage);
        ApplySettings();
        return;
    }
    if (!file.ok()) {
        core_->Warnings().Warning(SettingsPath() + ": cannot be read (" + file.reason +
                                  "); initial settings used");
        ApplySettings();
        return;
    }
    const measurement::SettingsReadResult read = measurement::ParseSettings(file.bytes);
    if (read.failedEntry) {
        core_->Warnings().Warning(
            SettingsPath() + ": entry " + std::to_string(*read.failedEntry) + " (\"" +
            std::string(measurement::SettingsKey(*read.failedEntry)) +
            "\") could not be read; it and the entries after it keep their initial values");
    }
    if (read.portNameRefused) {
        core_->Warnings().Warning(SettingsPath() + ": the stored port name was refused; COM1 used");
    }
    settings_ = read.settings;
    ApplySettings();
}

void TForm1::ApplySettings() {
    IndicatorTab& indicator = IndicatorPage();
    for (int i = 0; i < 3; ++i) indicator.SetSensorActive(i, settings_.channelActive[i]);
    indicator.SetRealTimeChecked(settings_.realTimeSampling);
    indicator.SetPeriodMs(settings_.samplePeriodMs);
    ChartTab& chart = ChartPage();
    chart.SetPagingOn(settings_.paging);
    chart.SetTracking(settings_.pagingTracking);
    chart.SetSamplesPerPage(settings_.samplesPerPage);
    RegistrationPage().SetBoxes(BoxesOf(settings_));
    State().portName = settings_.portName;
}

// The controls' states now, and the fields the window keeps (port name, output lines).
measurement::AppSettings TForm1::CollectSettings() const {
    measurement::AppSettings s = settings_;
    auto* self = const_cast<TForm1*>(this);
    IndicatorTab& indicator = self->IndicatorPage();
    for (int i = 0; i < 3; ++i) s.channelActive[i] = indicator.ActiveChecked(i);
    s.realTimeSampling = indicator.RealTimeChecked();
    s.samplePeriodMs = static_cast<int32_t>(indicator.PeriodMs());
    const ChartTab& chart = self->ChartPage();
    s.paging = chart.PagingOn();
    s.pagingTracking = chart.Tracking();
    s.samplesPerPage = static_cast<int16_t>(chart.SamplesPerPage());
    StoreBoxes(self->RegistrationPage().Boxes(), s);
    s.portName = self->core_->State().portName;
    return s;
}

// Writes the whole file. A failure is reported: in a box when the operator closes the
// window, on standard error when a signal does (no box may hold up a shutdown).
void TForm1::WriteSettings() {
    const measurement::AppSettings settings = CollectSettings();
    if (!measurement::PortNameIsStorable(settings.portName)) {
        core_->Warnings().Warning("port \"" + settings.portName +
                                  "\" is not stored (more than 16 characters or not one word); " +
                                  SettingsPath() + " keeps COM1");
    }
    const std::string bytes = measurement::FormatSettings(settings);
    const measurement::FileWriteResult result =
        measurement::WriteFileAtomically(SettingsPath(), bytes);
    if (result.ok()) return;
    const std::string text = measurement::SaveFailureText(SettingsPath(), result.reason);
    core_->Warnings().Error(SettingsPath() + ": not written: " + result.reason);
    if (!closingBySignal_) dialogs_->ShowPlainMessage(text);
}

}  // namespace kt::ui
