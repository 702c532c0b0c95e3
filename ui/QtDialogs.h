// Message boxes of the program on Qt, and the placement rules its secondary windows
// share (small tool-window frame, centred on the screen).
#pragma once

#include <QStringList>
#include <QWidget>

#include "Dialogs.h"

namespace kt::ui {

// The application title: the caption of every plain message box.
inline constexpr char kApplicationTitle[] = "KT210V-PC";

class QtDialogs : public device::Dialogs {
public:
    // The boxes are modal to `parent` (may be null: application-modal).
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}

    void ShowPlainMessage(const std::string& text) override;
    void ShowInfoMessage(const std::string& caption, const std::string& text) override;
    void ShowPlainMessageWithDetails(const std::string& text, const std::string& details) override;
    void ShowInfoMessageWithDetails(const std::string& caption, const std::string& text,
                                    const std::string& details) override;
    bool AskYesNo(const std::string& text) override;
    bool AskQuestion(const std::string& text, const std::string& yes,
                     const std::string& no) override;
    std::optional<device::SaveFileChoice> AskSaveFileName(
        const device::SaveFileRequest& request) override;
    std::string AskOpenFileName(const std::string& caption, const std::string& filter,
                                const std::string& defaultSuffix) override;

private:
    QWidget* parent_;
};

// Qt's name filters ("Text (*.txt)") of a bar-separated filter ("Text|*.txt|...").
QStringList NameFilters(const std::string& filter);

// Small caption bar with only a close box; the window stays a separate top-level window
// even when it has a parent.
void MakeToolWindow(QWidget* window);
// Background of an entry field (typing, taken into the request, confirmed).
void SetEntryColour(QWidget* field, const QColor& colour);
// Moves a top-level window to the middle of the screen it is on (the primary screen
// before it is shown).
void CentreOnScreen(QWidget* window);

}  // namespace kt::ui
