#pragma once

#include <QDialog>

namespace dw {

// The maker's web address, shown at the foot of the main window and opened by the
// About box.
inline constexpr char kMakerWebAddress[] = "https://brightwater.systems/diskwell";

// The About box `TfrmAbout` ("How to contact us"): the program's name, version and the
// maker's contact lines, an OK button, and a button that opens the maker's home page
// in the user's web browser.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    // Opens the maker's home page; when no browser can be started, says so in an error
    // box and returns false.
    bool openHomePage();
};

}  // namespace dw
