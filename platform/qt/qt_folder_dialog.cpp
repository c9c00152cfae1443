#include "platform/qt/qt_folder_dialog.h"

#include <QFileDialog>
#include <QString>

#include "platform/qt/qt_window_system.h"

namespace ripwarden::qt_platform {

QtFolderDialog::QtFolderDialog(const QtWindowSystem* windows) : windows_(windows) {}

std::string QtFolderDialog::PickFolder(const std::string& title, const std::string& initial_folder) {
  QWidget* parent = windows_ != nullptr ? windows_->ActiveAppWindow() : nullptr;
  return QFileDialog::getExistingDirectory(parent, QString::fromStdString(title),
                                           QString::fromStdString(initial_folder), QFileDialog::ShowDirsOnly)
      .toStdString();
}

}  // namespace ripwarden::qt_platform
