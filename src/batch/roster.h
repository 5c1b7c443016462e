// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A roster (`--names FILE.csv`) names each photo's upload file, as the
// systems that take a school's photos together want them: two columns, the
// photo (its file name with or without extension, or its path in the
// folder) and the upload file's name (".jpg" is added as the save adds it).
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace batch {

enum class RosterEncoding { Utf8, Gb18030 };

// The roster's text: UTF-8 (a BOM dropped) where the bytes are valid UTF-8,
// else GB18030, what spreadsheets on Chinese systems save; nothing where
// they are neither.
std::optional<QString> DecodeRoster(const QByteArray& bytes, RosterEncoding* encoding = nullptr);

struct RosterRow {
    int row = 0;     // as the spreadsheet numbers it, from 1
    QString photo;   // the first cell, trimmed
    QString upload;  // the second, trimmed
};

// Why a roster cannot be used: each stops the run before a photo is read.
struct RosterProblem {
    enum Kind {
        Unreadable,       // names: the file, the system's reason
        NotText,          // neither UTF-8 nor GB18030
        MissingCell,      // a row with only one of its two names
        MangledNumber,    // names: the cell a spreadsheet wrote as "1.10101E+17" or cut to 15 digits
        SameUpload,       // names: the upload names, equal but for letter case
        PhotoNamedTwice,  // names: the photo
        AmbiguousName,    // names: the cell, then every photo it fits
    };
    Kind kind = Unreadable;
    std::vector<int> rows;
    QStringList names;
};

struct RosterPlan {
    RosterEncoding encoding = RosterEncoding::Utf8;
    bool header = false;              // the first row was a heading
    QMap<QString, QString> uploadOf;  // photo -> its upload file's name, ".jpg" added
    std::vector<RosterRow> rowsWithoutPhoto;
    QStringList photosWithoutRow;
    std::vector<RosterProblem> misuses;
};

// The roster read against `photos` (paths relative to the input folder, "/"
// between folders). A cell names a photo by its path or its file name, the
// extension left out or not, without regard to letter case; a full name
// that fits is taken before one without extension.
RosterPlan PlanRoster(const QByteArray& roster, const QStringList& photos);
RosterPlan PlanRosterFile(const QString& path, const QStringList& photos);

// Whether a cell holds a number a spreadsheet has mangled: shown in
// scientific notation, or longer than the 15 digits it keeps, the rest read
// as zeros (an 18-digit ID number whose check digit holds is whole).
bool MangledNumber(const QString& cell);

}  // namespace batch
