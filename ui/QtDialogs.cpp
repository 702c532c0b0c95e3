#include "QtDialogs.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>

namespace kt::ui {

namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
             const std::string& text, const std::string& details = {}) {
    QMessageBox box(icon, caption, QString::fromStdString(text), QMessageBox::Ok, parent);
    // Texts such as "<nierozpoznane>" must not be taken for markup.
    box.setTextFormat(Qt::PlainText);
    if (!details.empty()) box.setDetailedText(QString::fromStdString(details));
    box.exec();
}

}  // namespace

void QtDialogs::ShowPlainMessage(const std::string& text) {
    ShowBox(parent_, QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), text);
}

void QtDialogs::ShowInfoMessage(const std::string& caption, const std::string& text) {
    ShowBox(parent_, QMessageBox::Information, QString::fromStdString(caption), text);
}

void QtDialogs::ShowPlainMessageWithDetails(const std::string& text, const std::string& details) {
    ShowBox(parent_, QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), text, details);
}

void QtDialogs::ShowInfoMessageWithDetails(const std::string& caption, const std::string& text,
                                           const std::string& details) {
    ShowBox(parent_, QMessageBox::Information, QString::fromStdString(caption), text, details);
}

bool QtDialogs::AskYesNo(const std::string& text) {
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(kApplicationTitle),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, parent_);
    box.setTextFormat(Qt::PlainText);
    // Enter alone must not answer Yes to a question that discards data.
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool QtDialogs::AskQuestion(const std::string& text, const std::string& yes,
                            const std::string& no) {
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(kApplicationTitle),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, parent_);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Yes)->setText(QString::fromStdString(yes));
    box.button(QMessageBox::No)->setText(QString::fromStdString(no));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<device::SaveFileChoice> QtDialogs::AskSaveFileName(
    const device::SaveFileRequest& request) {
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name in an existing folder only; replacing an existing file is confirmed.
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = NameFilters(request.filter);
    dialog.setNameFilters(filters);
    // A name typed without an extension gets the selected filter's before the dialog
    // checks for an existing file, so replacing that file is confirmed as well.
    auto followFilter = [&dialog](const QString& nameFilter) {
        const qsizetype dot = nameFilter.indexOf(QStringLiteral("*."));
        const qsizetype end = nameFilter.indexOf(QRegularExpression(QStringLiteral("[ ;)]")), dot);
        dialog.setDefaultSuffix(dot < 0 ? QString() : nameFilter.mid(dot + 2, end - dot - 2));
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followFilter);
    if (request.filterIndex >= 0 && request.filterIndex < filters.size()) {
        dialog.selectNameFilter(filters[request.filterIndex]);
        followFilter(filters[request.filterIndex]);
    }
    if (!request.fileName.empty()) dialog.selectFile(QString::fromStdString(request.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    device::SaveFileChoice choice;
    choice.fileName = dialog.selectedFiles().front().toStdString();
    choice.filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    if (choice.filterIndex < 0) choice.filterIndex = 0;
    return choice;
}

QStringList NameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // Blanks around the bars ("plik bmp | *.bmp") are not part of the names: Qt would
        // tidy them away and the chosen filter could no longer be found in the list.
        QString patterns = parts[i + 1].trimmed();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));  // "*.txt;*.log" lists patterns
        filters.append(parts[i].trimmed() + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters;
}

std::string QtDialogs::AskOpenFileName(const std::string& caption, const std::string& filter,
                                       const std::string& defaultSuffix) {
    QFileDialog dialog(parent_, QString::fromStdString(caption));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QString::fromStdString(filter));
    dialog.setDefaultSuffix(QString::fromStdString(defaultSuffix));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst().toStdString();
}

void MakeToolWindow(QWidget* window) {
    window->setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
}

void SetEntryColour(QWidget* field, const QColor& colour) {
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, colour);
    field->setPalette(palette);
}

void CentreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace kt::ui
