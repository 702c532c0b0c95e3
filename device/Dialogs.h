// Message boxes and file dialogs, so the core can ask for them and tests can answer them.
#pragma once

#include <optional>
#include <string>

namespace kt::device {

// What a save dialog offers: filters as pairs of a description and a pattern separated by
// bars ("Text|*.txt|Excel|*.xls"), the one selected at first, and a proposed name.
struct SaveFileRequest {
    std::string filter;
    int filterIndex = 0;  // 0-based
    std::string fileName;
};

// The name the operator confirmed and the filter selected at that moment.
struct SaveFileChoice {
    std::string fileName;
    int filterIndex = 0;  // 0-based
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Plain box: the application title as caption, an OK button.
    virtual void ShowPlainMessage(const std::string& text) = 0;
    // Box with its own caption, an information icon and an OK button.
    virtual void ShowInfoMessage(const std::string& caption, const std::string& text) = 0;
    // The same boxes with a details text the operator can unfold (the system's reason
    // behind a short message). Where a box has no room for details, only the message.
    virtual void ShowPlainMessageWithDetails(const std::string& text, const std::string& details) {
        (void)details;
        ShowPlainMessage(text);
    }
    virtual void ShowInfoMessageWithDetails(const std::string& caption, const std::string& text,
                                            const std::string& details) {
        (void)details;
        ShowInfoMessage(caption, text);
    }
    // Question box with Yes and No buttons and the application title as caption; true
    // for Yes. Where nobody can answer, the answer is No.
    virtual bool AskYesNo(const std::string& text) {
        (void)text;
        return false;
    }
    // The same question with buttons of its own captions; `yes` answers true and is the
    // default button.
    virtual bool AskQuestion(const std::string& text, const std::string& yes,
                             const std::string& no) {
        (void)yes;
        (void)no;
        return AskYesNo(text);
    }
    // Save dialog: asks before replacing an existing file and takes only names in an
    // existing folder. Nothing when the operator cancels (or nobody can answer).
    virtual std::optional<SaveFileChoice> AskSaveFileName(const SaveFileRequest& request) {
        (void)request;
        return std::nullopt;
    }
    // Open-file dialog for one existing file in an existing folder: its caption, a name
    // filter such as "EEPROM hex file (*.hex)" and the extension added to a name typed
    // without one. Returns the chosen path, or an empty text when the operator cancels.
    virtual std::string AskOpenFileName(const std::string& caption, const std::string& filter,
                                        const std::string& defaultSuffix) {
        (void)caption;
        (void)filter;
        (void)defaultSuffix;
        return {};
    }
};

}  // namespace kt::device
