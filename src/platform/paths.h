#pragma once

#include <QByteArray>
#include <QString>

// The one place that knows how native paths are spelled. Logic that joins or splits
// paths uses these, never a literal separator, so another platform changes them here.
namespace dw::platform {

// Separates the folders and the name of a native path.
inline constexpr char kSep = '/';

// The root of the file system: the one folder written with a trailing separator.
inline constexpr char kRootFolder[] = "/";

// `folder` and `name` joined with exactly one kSep: separators at the end of `folder`
// and at the start of `name` are merged into one ("/" and "a" give "/a", "/data/" and
// "a" give "/data/a"). An empty `folder` gives `name` unchanged (never a path below the
// root by accident); an empty `name` gives `folder` followed by one separator. No other
// byte (or character, for the QString overload on a path's text) is changed.
QByteArray joinPath(const QByteArray& folder, const QByteArray& name);
QString joinPath(const QString& folder, const QString& name);

// The folder part of `path`: everything before its last separator, the root for a
// path directly below it, "." for a name without a separator.
QByteArray folderOfPath(const QByteArray& path);

// The name part of `path`: everything after its last separator.
QByteArray nameOfPath(const QByteArray& path);

}  // namespace dw::platform
