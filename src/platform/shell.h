#pragma once

#include <QByteArray>
#include <QUrl>

namespace dw::platform {

// Opens the file or folder at `path` with the desktop's application for its type, by
// running xdg-open on it. A relative path is taken from the current folder; a path
// that is not valid UTF-8 is handed over as a percent-encoded file:// URL so the exact
// file is reached.
//
// Returns true when xdg-open reports success (exit status 0). Returns false when
// xdg-open is not installed, cannot be started, crashes or reports failure (no
// application for the type, no such file). Waits up to five seconds for its verdict;
// an xdg-open still running then is waiting for the application it started, which is
// counted as success and left running.
bool openWithDesktop(const QByteArray& path);

// Opens a web address (or any URL with a scheme) with the desktop's application for
// it, usually the web browser, through xdg-open. Returns as openWithDesktop does;
// false also for a URL that is empty, relative or not valid.
bool openUrlWithDesktop(const QUrl& url);

}  // namespace dw::platform
