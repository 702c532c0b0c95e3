// Recording stand-ins for the interfaces through which the device core talks to the
// screen, the message boxes and the serial channel.
#pragma once

#include <atomic>
#include <cerrno>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "DeviceView.h"
#include "Dialogs.h"
#include "FrameLog.h"
#include "Log.h"
#include "SerialPort.h"
#include "TestSupport.h"
#include "WizardView.h"

namespace kt::test {

// Records every frame handed to the channel, as hex text. Where `portOpen` is given it
// plays the channel's worker: set by a successful open, cleared by a close.
class RecordingSink : public device::SerialPort {
public:
    std::vector<std::string> frames;
    std::vector<std::string> opened;
    int openResult = 0;
    int readSize = 0;
    int closes = 0;
    std::atomic<bool>* portOpen = nullptr;

    void Send(const uint8_t* data, int length) override { frames.push_back(ToHex(data, length)); }
    void SetReadSize(int size) override { readSize = size; }
    int OpenPort(const char* name, int, int, int, bool) override {
        opened.push_back(name);
        if (portOpen && openResult == 0) *portOpen = true;
        return openResult;
    }
    void ClosePort() override {
        ++closes;
        if (portOpen) *portOpen = false;
    }
    int LastOpenError() const override { return openResult == 0 ? 0 : ENOENT; }
};

// Warnings and errors, kept in order; safe to call from the serial worker thread.
class FakeWarnings : public device::Log {
public:
    void Warning(const std::string& text) override { Add("warning: " + text); }
    void Error(const std::string& text) override { Add("error: " + text); }
    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

private:
    void Add(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(line);
    }
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

class FakeLog : public device::FrameLog {
public:
    bool visible = true;
    std::vector<std::string> frameLines;
    std::vector<std::string> parameterLines;
    int clears = 0;

    bool IsVisible() const override { return visible; }
    void AppendFrameLine(const std::string& line) override { frameLines.push_back(line); }
    void ClearParameterView() override {
        parameterLines.clear();
        ++clears;
    }
    void AppendParameterLine(const std::string& line) override { parameterLines.push_back(line); }
};

class FakeDialogs : public device::Dialogs {
public:
    std::vector<std::string> messages;  // "caption|text"; plain boxes have caption "KT210V-PC"
    std::vector<std::string> details;   // one entry per message, empty without details
    std::vector<std::string> questions;
    bool answerYes = false;
    std::vector<device::SaveFileRequest> saveRequests;
    std::optional<device::SaveFileChoice> saveAnswer;  // empty: the operator cancels

    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return answerYes;
    }
    std::optional<device::SaveFileChoice> AskSaveFileName(
        const device::SaveFileRequest& request) override {
        saveRequests.push_back(request);
        return saveAnswer;
    }
    void ShowPlainMessage(const std::string& text) override {
        ShowPlainMessageWithDetails(text, {});
    }
    void ShowInfoMessage(const std::string& caption, const std::string& text) override {
        ShowInfoMessageWithDetails(caption, text, {});
    }
    std::function<void()> whileShown;  // runs while a box (plain or with a caption) is open
    void ShowPlainMessageWithDetails(const std::string& text, const std::string& d) override {
        messages.push_back("KT210V-PC|" + text);
        details.push_back(d);
        if (whileShown) whileShown();
    }
    void ShowInfoMessageWithDetails(const std::string& caption, const std::string& text,
                                    const std::string& d) override {
        messages.push_back(caption + "|" + text);
        details.push_back(d);
        if (whileShown) whileShown();
    }
    // Open-file dialogs: "caption|filter|suffix" of each one shown; the answer is
    // `openFileAnswer` (empty: cancelled).
    std::vector<std::string> openFileDialogs;
    std::string openFileAnswer;
    std::string AskOpenFileName(const std::string& caption, const std::string& filter,
                                const std::string& suffix) override {
        openFileDialogs.push_back(caption + "|" + filter + "|" + suffix);
        return openFileAnswer;
    }
};

// Keeps the last value written to every control, keyed by control name.
class FakeDeviceView : public device::DeviceView {
public:
    std::map<std::string, std::string> text;
    int modeSelection = -2;
    std::string picturePath;
    bool pictureVisible = true;
    int activeSensor = -1;
    bool beep = false;
    bool active[3] = {false, false, false};
    int activeChanges = 0;
    int confirmedPaints = 0;
    std::string valueDialogCaption = "Poz. zero =";

    void SetModeSelection(int index) override { modeSelection = index; }
    void LoadModePicture(const std::string& path) override { picturePath = path; }
    void SetModePictureVisible(bool visible) override { pictureVisible = visible; }
    void SetSensorCaption(int s, const std::string& t) override { Put("GroupBox", s, t); }
    void SetSensorActive(int s, bool a) override {
        active[s] = a;
        ++activeChanges;
    }
    void SetSensorCountText(const std::string& t) override { text["Label65"] = t; }
    void SetZeroLabel(int s, const std::string& t) override { Put("Zero", s, t); }
    void SetOffsetLabel(int s, const std::string& t) override { Put("Offset", s, t); }
    void SetMultiplierLabel(int s, const std::string& t) override { Put("Multiplier", s, t); }
    std::string ValueDialogCaption() const override { return valueDialogCaption; }
    void SetValueDialogText(const std::string& t) override { text["Wartosc.Edit1"] = t; }
    void SetMultiplierDialogText(const std::string& t) override { text["Mnoznik.Edit6"] = t; }
    void SetStatusText(const std::string& t) override { text["Label66"] = t; }
    void SetTypeText(const std::string& t) override { text["Label63"] = t; }
    void SetVersionText(const std::string& t) override { text["Label64"] = t; }
    void SetActiveSensorSelection(int index) override { activeSensor = index; }
    void SetOnTimeText(const std::string& t) override { text["Edit5"] = t; }
    void SetPK1Text(const std::string& t) override { text["Edit6"] = t; }
    void SetPK2Text(const std::string& t) override { text["Edit7"] = t; }
    void SetLedText(const std::string& t) override { text["Edit4"] = t; }
    void SetDecpText(const std::string& t) override { text["Edit9"] = t; }
    void SetBeepChecked(bool c) override { beep = c; }
    void PaintDevicePanelConfirmed() override { ++confirmedPaints; }

private:
    void Put(const std::string& name, int s, const std::string& t) {
        text[name + std::to_string(s)] = t;
    }
};

class FakeWizardView : public device::WizardView {
public:
    std::string portText = "COM1";
    std::vector<device::WizardDisplay> renders;
    int pausedMs = 0;

    void Render(const device::WizardDisplay& d) override { renders.push_back(d); }
    std::string PortText() const override { return portText; }
    void Pause(int ms) override { pausedMs += ms; }
};

}  // namespace kt::test
