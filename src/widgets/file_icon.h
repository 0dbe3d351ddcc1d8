#pragma once

#include <QByteArray>
#include <QIcon>

namespace dw {

// The picture that stands for a file or folder in the details and pair comparison
// windows:
// - a real folder (a link to one is not followed): the program's own folder picture,
//   DirectoryIcon();
// - anything else: the icon theme's icon of its MIME type (by its name and, for a file
//   that can be read, its first bytes), or of the type's generic group ("text-x-generic")
//   when the theme lacks the type's own; NoIcon(), the program's picture of a blank page,
//   when the theme has neither.
QIcon FileIcon(const QByteArray& path);

// The program's own pictures, the same object on every call (compare with cacheKey()).
const QIcon& DirectoryIcon();
const QIcon& NoIcon();

}  // namespace dw
