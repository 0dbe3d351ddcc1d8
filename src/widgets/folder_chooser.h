#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace dw {

// The platform's folder browser, behind one function so that windows can be driven in
// tests: asks the user for a folder, showing `title`, opening at `start` (a native folder
// path; the root "/" when empty or when it does not exist). Only folders can be chosen.
// Returns the chosen folder as a native byte path without a trailing "/" (the root is
// "/"), or nullopt when the user cancelled.
std::optional<QByteArray> ChooseFolder(QWidget* parent, const QString& title,
                                       const QByteArray& start);

// What ChooseFolder runs instead of the platform's browser; tests install one and put
// the previous back. An empty function restores the platform's browser. Returns the one
// replaced.
using FolderChooser = std::function<std::optional<QByteArray>(QWidget* parent, const QString& title,
                                                              const QByteArray& start)>;
FolderChooser setFolderChooser(FolderChooser chooser);

}  // namespace dw
