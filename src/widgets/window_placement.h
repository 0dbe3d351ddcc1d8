#pragma once

#include <QString>

#include "base/settings_sections.h"

class QWidget;

namespace dw {

// Puts top-level window `w` in the centre of its screen's available area and then, when
// the store holds an applicable placement record under `key`\`subkey`, value
// `valueName` (SettingsStore::readPlacement), applies it: the normal rectangle becomes
// the geometry (right and bottom exclusive, so width = right - left), show command 2
// minimises and 3 maximises the window; any other show command leaves it in its normal
// state (a damaged record never hides a window). A rectangle that lies on no screen is
// centred on `w`'s screen instead, one larger than the screen is cut to the screen,
// and one partly off the screen is moved onto it, so a record from another monitor
// layout or scale factor never loses the window or its buttons. Without a record, or
// with one that is not applicable, the window stays centred. Call it when the window is
// first shown (or just before). Does nothing for a null widget.
void restoreWindowPlacement(QWidget* w, const QString& key, const QString& subkey,
                            const QString& valueName);
void restoreWindowPlacement(QWidget* w, const settings::PlacementKey& where);

// Writes `w`'s placement record: its normal geometry (the rectangle it returns to from
// minimised or maximised) and show command 1 (normal), 2 (minimised) or 3 (maximised).
// Returns false, writing nothing, for a null widget or one without a normal geometry
// (never laid out), and when the store could not be written.
bool saveWindowPlacement(const QWidget* w, const QString& key, const QString& subkey,
                         const QString& valueName);
bool saveWindowPlacement(const QWidget* w, const settings::PlacementKey& where);

}  // namespace dw
