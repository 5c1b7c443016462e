// Every file of the hostile corpus at the photo layer: where reading it stops
// (header, size, decode) and, for the ones that decode, what the face check
// says. The window's messages follow from these outcomes.
#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

#include <functional>
#include <stdexcept>

#include "corpus.h"
#include "face/face_check.h"
#include "photo/jpeg_decoder.h"

namespace {

// The size test of the read handler: files of this size or less are refused.
constexpr qsizetype kSmallest = 8192;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Throws(const std::function<void()>& f) {
    try {
        f();
    } catch (...) {
        return true;
    }
    return false;
}

// The frame header's fields, or -1s when the bytes have no SOF before SOS.
struct Frame {
    int marker = -1, precision = -1, height = -1, width = -1;
};

Frame FirstFrame(const QByteArray& b) {
    Frame f;
    qsizetype i = 2;
    while (i + 9 < b.size() && uchar(b[i]) == 0xFF) {
        const int m = uchar(b[i + 1]);
        const int len = (uchar(b[i + 2]) << 8) | uchar(b[i + 3]);
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
            f.marker = m;
            f.precision = uchar(b[i + 4]);
            f.height = (uchar(b[i + 5]) << 8) | uchar(b[i + 6]);
            f.width = (uchar(b[i + 7]) << 8) | uchar(b[i + 8]);
            return f;
        }
        if (m == 0xDA)
            break;
        i += 2 + len;
    }
    return f;
}

int CountMarkers(const QByteArray& b, uchar marker) {
    int n = 0;
    for (qsizetype i = 0; i + 1 < b.size(); ++i)
        n += uchar(b[i]) == 0xFF && uchar(b[i + 1]) == marker;
    return n;
}

bool StartsWithSoi(const QByteArray& b) {
    return b.size() >= 2 && uchar(b[0]) == 0xFF && uchar(b[1]) == 0xD8;
}

}  // namespace

class TestHostileDecoder : public QObject {
    Q_OBJECT
private:
    QVector<corpus::Entry> entries;

private slots:
    void initTestCase() {
        QString error;
        entries = corpus::Load(&error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    // The manifest and the folder agree, and the corpus holds every kind of
    // bad input that users and attackers bring.
    void manifestCoversTheCorpus() {
        QStringList listed;
        for (const auto& e : entries) {
            QVERIFY2(!listed.contains(e.file), qPrintable(e.file + " listed twice"));
            listed << e.file;
            QVERIFY2(QFile::exists(corpus::Path(e)), qPrintable(e.file + " is listed but missing"));
        }
        const QStringList onDisk = QDir(corpus::Dir()).entryList({QStringLiteral("*.jpg")}, QDir::Files);
        for (const QString& name : onDisk)
            QVERIFY2(listed.contains(name), qPrintable(name + " is not in the manifest"));

        int zeroBytes = 0, notJpegLarge = 0, notJpegSmall = 0, headerOnly = 0, truncated = 0,
            twelveBit = 0, absurd = 0, manyScans = 0, brokenExif = 0, damagedScan = 0;
        for (const auto& e : entries) {
            const QByteArray b = ReadAll(corpus::Path(e));
            zeroBytes += b.isEmpty();
            notJpegLarge += !b.isEmpty() && !StartsWithSoi(b) && b.size() > kSmallest;
            notJpegSmall += !b.isEmpty() && !StartsWithSoi(b) && b.size() <= kSmallest;
            headerOnly += StartsWithSoi(b) && CountMarkers(b, 0xDA) == 0;
            truncated += e.file.startsWith(QLatin1String("trunc_")) || e.file.endsWith(QLatin1String("_truncated.jpg"));
            const Frame f = FirstFrame(b);
            twelveBit += f.precision == 12;
            absurd += f.width > 30000 || f.height > 30000 || qint64(f.width) * f.height > 200000000;
            manyScans += CountMarkers(b, 0xDA) >= 2000;
            brokenExif += e.file.startsWith(QLatin1String("exif_")) && b.contains("Exif");
            damagedScan += e.what.contains(QLatin1String("noise")) && e.outcome == corpus::Outcome::Decoded;
        }
        QVERIFY2(entries.size() >= 20, qPrintable(QString::number(entries.size())));
        QVERIFY(zeroBytes >= 1);
        QVERIFY(notJpegLarge >= 1);
        QVERIFY(notJpegSmall >= 1);
        QVERIFY(headerOnly >= 2);
        QVERIFY2(truncated >= 5, "truncated at several points");
        QVERIFY(twelveBit >= 1);
        QVERIFY(absurd >= 2);
        QVERIFY(manyScans >= 1);
        QVERIFY(brokenExif >= 5);
        QVERIFY(damagedScan >= 2);
    }

    void outcome_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < entries.size(); ++i)
            QTest::newRow(qPrintable(entries[i].file)) << i;
    }

    // Header first, then the size, then the decode, then the face check: the
    // order in which the read handler meets them.
    void outcome() {
        QFETCH(int, row);
        const corpus::Entry& e = entries[row];
        const QString path = corpus::Path(e);
        const QByteArray bytes = ReadAll(path);
        QElapsedTimer clock;
        clock.start();

        photo::SourcePhoto source;
        const bool headerFailed = Throws([&] { source.Load(bytes); });
        QCOMPARE(source.Bytes(), bytes);  // the bytes stay either way
        QCOMPARE(photo::IsReadableJpeg(bytes), !headerFailed);

        if (e.outcome == corpus::Outcome::HeaderFails) {
            QVERIFY2(headerFailed, "the header was read");
            QVERIFY(!source.HasHeader());
            QCOMPARE(source.Size(), QSize(0, 0));
            QVERIFY(Throws([&] { photo::ReadJpegHeader(bytes); }));
            // A later zoom decodes these bytes again: it must fail again, every time.
            QVERIFY(Throws([&] { source.Pixels(); }));
            QVERIFY(Throws([&] { source.Pixels(); }));
            QVERIFY(!source.IsDecoded());
            QVERIFY(Throws([&] { photo::DecodeJpeg(bytes); }));
            return;
        }

        QVERIFY2(!headerFailed, "the header was refused");
        QVERIFY(source.HasHeader());
        const photo::JpegHeader header = source.Header();
        QCOMPARE(header.orientation, e.orientation);
        QCOMPARE(source.Size(), header.UprightSize());

        if (e.outcome == corpus::Outcome::SizeRefused) {
            QVERIFY2(bytes.size() <= kSmallest, qPrintable(QString::number(bytes.size())));
            // A zoom after the refusal decodes it; whatever it gives, it returns.
            Throws([&] { source.Pixels(); });
            return;
        }
        QVERIFY2(bytes.size() > kSmallest, qPrintable(QString::number(bytes.size())));

        if (e.outcome == corpus::Outcome::DecodeFails) {
            QVERIFY2(Throws([&] { photo::DecodeJpeg(bytes); }), "decoded");
            QVERIFY(Throws([&] { source.Pixels(); }));
            QVERIFY(Throws([&] { source.Pixels(); }));
            QVERIFY(!source.IsDecoded());
            QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
            return;
        }

        // Decoded: libjpeg's warnings are ignored and the photo comes out
        // whole, upright, in the raster the window shows.
        QImage image;
        try {
            image = source.Pixels();
        } catch (const std::exception& error) {
            QFAIL(error.what());
        }
        QVERIFY(source.IsDecoded());
        QVERIFY(!image.isNull());
        // Every decodable file of the corpus is made from one upright
        // 180 x 230 portrait, some stored sideways with an EXIF tag.
        QCOMPARE(image.size(), QSize(180, 230));
        QCOMPARE(image.format(), header.grayscale ? QImage::Format_Indexed8 : QImage::Format_RGB888);

        bool checkFailed = false;
        try {
            face::CountFaces(path);
        } catch (const face::FaceCheckError& error) {
            checkFailed = true;
            QVERIFY2(e.face == corpus::Face::CheckFails, error.what());
        }
        switch (e.face) {
        case corpus::Face::Found:
            QVERIFY2(face::FaceCount >= 1, "no face found");
            break;
        case corpus::Face::NotFound:
            QCOMPARE(face::FaceCount, 0);
            break;
        case corpus::Face::CheckFails:
            QVERIFY2(checkFailed, "the face check ran");
            break;
        case corpus::Face::None:
            QFAIL("a decoded file without a face column");
        }
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestHostileDecoder)
#include "test_hostile_decoder.moc"
