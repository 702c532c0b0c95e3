// Message boxes, so the core can ask for them and tests can answer them.
#pragma once

#include <string>

namespace kt::device {

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
