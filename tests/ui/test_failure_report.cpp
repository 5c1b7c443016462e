#include <QtTest>
#include <new>
#include <stdexcept>

#include "ui/failure_report.h"

class FailureReportTest : public QObject {
    Q_OBJECT
private slots:
    void fullStop_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("code") << "JPEG error #42" << "JPEG error #42.";
        QTest::newRow("letter") << "Out of memory" << "Out of memory.";
        QTest::newRow("exclamation") << "请选择标准照照片！" << "请选择标准照照片！.";
        QTest::newRow("ascii exclamation") << "Failed!" << "Failed!";
        QTest::newRow("parenthesis") << "Cannot open (busy)" << "Cannot open (busy)";
        QTest::newRow("comma") << "a," << "a,";
        QTest::newRow("full stop") << "Done." << "Done.";
        QTest::newRow("hyphen below full stop") << "x-" << "x-";
        QTest::newRow("slash above full stop") << "dir/" << "dir/.";
        QTest::newRow("quote") << "Cannot create file \"a\"" << "Cannot create file \"a\"";
        QTest::newRow("space") << "trailing " << "trailing ";
        QTest::newRow("non-ascii") << "错误" << "错误.";
        QTest::newRow("empty") << "" << "";
    }
    void fullStop() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(failure::WithFullStop(message), shown);
    }

    void guardReportsWhatEscapes() {
        QStringList reports;
        auto report = [&](const QString& t) { reports << t; };
        failure::RunGuarded([] { throw std::runtime_error("JPEG error #42"); }, report);
        failure::RunGuarded([] { throw std::bad_alloc(); }, report);
        failure::RunGuarded([] { throw 7; }, report);
        failure::RunGuarded([] { throw std::runtime_error("照片错误"); }, report);
        failure::RunGuarded([] {}, report);
        QCOMPARE(reports, QStringList({"JPEG error #42.", "Out of memory.", "Unexpected failure.",
                                       "照片错误."}));
    }

    void guardSurvivesAFailingReport() {
        // Neither the handler's nor the report's failure may leave the guard.
        failure::RunGuarded([] { throw std::runtime_error("first"); },
                            [](const QString&) { throw std::runtime_error("second"); });
        QVERIFY(true);
    }
};

QTEST_GUILESS_MAIN(FailureReportTest)
#include "test_failure_report.moc"
