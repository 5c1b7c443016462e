#pragma once
// The hostile-file corpus and its manifest (tests/data/hostile/manifest.tsv):
// one line per file with the outcome its bytes must have.
#include <QFile>
#include <QString>
#include <QStringList>
#include <QVector>

namespace corpus {

enum class Outcome { HeaderFails, SizeRefused, Decoded, DecodeFails };
enum class Face { None, Found, NotFound, CheckFails };

struct Entry {
    QString file;
    Outcome outcome = Outcome::HeaderFails;
    Face face = Face::None;  // decoded files only
    int orientation = 0;     // 0 when the header fails
    QString what;
};

inline QString Dir() {
    return QStringLiteral(EXAM_TESTDATA_DIR "/hostile/");
}

inline QString Path(const Entry& e) {
    return Dir() + e.file;
}

// The manifest's rows; an empty list with `error` set when it cannot be read.
inline QVector<Entry> Load(QString* error) {
    QVector<Entry> rows;
    QFile file(Dir() + QStringLiteral("manifest.tsv"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot open ") + file.fileName();
        return {};
    }
    int lineNo = 0;
    while (!file.atEnd()) {
        ++lineNo;
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList f = line.split(QLatin1Char('\t'));
        auto bad = [&](const QString& why) {
            *error = QStringLiteral("manifest line %1: %2").arg(lineNo).arg(why);
            return QVector<Entry>();
        };
        if (f.size() != 5)
            return bad(QStringLiteral("%1 columns").arg(f.size()));
        Entry e;
        e.file = f[0];
        e.what = f[4];
        if (f[1] == QLatin1String("header-fails"))
            e.outcome = Outcome::HeaderFails;
        else if (f[1] == QLatin1String("size-refused"))
            e.outcome = Outcome::SizeRefused;
        else if (f[1] == QLatin1String("decoded"))
            e.outcome = Outcome::Decoded;
        else if (f[1] == QLatin1String("decode-fails"))
            e.outcome = Outcome::DecodeFails;
        else
            return bad(QStringLiteral("unknown outcome ") + f[1]);
        if (f[2] == QLatin1String("face"))
            e.face = Face::Found;
        else if (f[2] == QLatin1String("no-face"))
            e.face = Face::NotFound;
        else if (f[2] == QLatin1String("check-fails"))
            e.face = Face::CheckFails;
        else if (f[2] != QLatin1String("-"))
            return bad(QStringLiteral("unknown face column ") + f[2]);
        if ((e.face != Face::None) != (e.outcome == Outcome::Decoded))
            return bad(QStringLiteral("a face column belongs to decoded files only"));
        bool ok = true;
        e.orientation = f[3] == QLatin1String("-") ? 0 : f[3].toInt(&ok);
        if (!ok || (e.orientation == 0) != (e.outcome == Outcome::HeaderFails) || e.orientation > 8)
            return bad(QStringLiteral("bad orientation ") + f[3]);
        rows.push_back(e);
    }
    if (rows.isEmpty())
        *error = QStringLiteral("the manifest lists no file");
    return rows;
}

}  // namespace corpus
