#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include "finders/row_finder.h"
#include "scan/wildcard.h"

// The engine of the quick clean (TfrmClean, TfrmTempFiles, `diskwell-cli temp`): the
// stored list of temporary-file extensions, the test of one file name, and the rows of
// the result grid.
namespace dw {

// The extension key of a pattern or entry line: the text between its first character
// and its TAB (or its end), in lower case: ".tmp" for "*.tmp", ".~*" for "*.~*".
QString TempExtensionKey(const QString& patternOrLine);

// The stored list (section TempFiles) as type lines (TypeLine: the pattern, a TAB and
// the description of its extension), in stored order. When no list was
// ever stored, `defaults` as entry lines; a stored empty list stays empty.
QStringList ReadTempExtensionLines(const QStringList& defaults);
// Stores the patterns of `lines` (each line's text before its TAB). False when the
// settings file could not be written.
bool WriteTempExtensionLines(const QStringList& lines);

// The test of a file name against the selected patterns of temporary files. A pattern
// "*." followed by a text without a dot ("*.tmp", "*.~*") is an extension: it is matched
// against the name's extension, its text from its last dot on (a name without a dot has
// none and never matches), so its "*" never reaches past a dot ("*.~*" matches "a.~mp"
// and "a.~" but not "a.~b.txt"). Any other pattern ("*~", ".~lock.*#", "thumbs.db") is
// matched against the whole name. "*" stands for any run of characters, "?" for one,
// ASCII case ignored (WildcardMatch).
class TempMatcher {
public:
    // `patterns` as stored ("*.tmp") or as type lines (pattern, TAB, description); empty
    // ones are ignored.
    explicit TempMatcher(const QStringList& patterns);
    bool isThisFileTemporary(QByteArrayView name) const;
    bool isEmpty() const { return exact_.isEmpty() && extensions_.isEmpty() && names_.isEmpty(); }

private:
    QList<QByteArray> exact_;       // extensions without wildcards, lower-case UTF-8
    QList<QByteArray> extensions_;  // extensions with wildcards, from their dot on
    QList<QByteArray> names_;       // whole-name patterns
};

// The result grid's columns, as the file-hog grid's: Size, Modified, Time, Access,
// FileName, Type.
inline constexpr int kTempColumnCount = 6;
inline constexpr int kTempSizeColumn = 0;
inline constexpr int kTempModifiedColumn = 1;
inline constexpr int kTempTimeColumn = 2;
inline constexpr int kTempAccessColumn = 3;
inline constexpr int kTempPathColumn = 4;
inline constexpr int kTempTypeColumn = 5;
QStringList TempColumnTitles();
inline constexpr FileCellColumns kTempFileCells{-1, -1, kTempPathColumn};

// One scan: a row for every file handed over that the matcher calls temporary and that
// is no folder. Hidden files are wanted by the walk (TempWalkOptions), system entries and
// hidden folders are not.
class TempSearch : public RowFinder {
public:
    TempSearch(const TempMatcher& matcher, GridTable& grid);
    void addFile(const WalkFolder& folder, const platform::DirEntry& entry) override;

private:
    TempMatcher matcher_;
};

// The walk of the quick clean: every name, hidden files included, hidden folders, links
// and other system entries left out.
WalkOptions TempWalkOptions();

// The report title: "Temporary files on drive(s) " and the volume key of every checked
// entry followed by a blank.
QString TempReportTitle(const QList<DriveEntry>& checked);

}  // namespace dw
