#include "QtDialogs.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
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
