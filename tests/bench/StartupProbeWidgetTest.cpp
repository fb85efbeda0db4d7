// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up benchmark once, at its real size: the probe, copied with the
// simulated counter into a folder of its own, starts the main window headless,
// reports its first paint after its start, and ends as Exit does.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

struct TProbeCase {
    const char* Name;
    QStringList Arguments;
    bool WritesSettings; // only the main window has a settings file
};

void PrintTo(const TProbeCase& c, std::ostream* os) {
    *os << c.Name;
}

class StartupProbeTest : public ::testing::TestWithParam<TProbeCase> {};

TEST_P(StartupProbeTest, ReportsAPaintAfterMainAndEndsInOrder) {
    QTemporaryDir folder;
    for (const QString& name :
         {QStringLiteral("ostrel-startup-probe"), QStringLiteral("libPexlar.so")}) {
        ASSERT_TRUE(QFile::copy(QStringLiteral(OSTREL_BIN_DIR "/") + name, folder.filePath(name)))
            << name.toStdString();
    }
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    probe.setProcessEnvironment(environment);
    probe.setWorkingDirectory(folder.path());
    probe.start(folder.filePath("ostrel-startup-probe"), GetParam().Arguments);
    ASSERT_TRUE(probe.waitForFinished(60'000));
    EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();

    const std::string out = probe.readAllStandardOutput().toStdString();
    long long mainAt = 0;
    long long paintedAt = 0;
    ASSERT_EQ(std::sscanf(out.c_str(), "main %lld\npainted %lld\n", &mainAt, &paintedAt), 2) << out;
    EXPECT_LT(mainAt, paintedAt);

    QFile settings(folder.filePath("ostrel-startup-probe.ini"));
    EXPECT_EQ(settings.exists(), GetParam().WritesSettings);
    if (GetParam().WritesSettings) {
        ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
        EXPECT_EQ(settings.readAll().toStdString(), "[Graph]\r\nuSv=0.00158\r\nBackGround=0\r\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, StartupProbeTest,
                         ::testing::Values(TProbeCase{"MainWindow", {}, true},
                                           TProbeCase{
                                               "BareWindow", {QStringLiteral("--bare")}, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
