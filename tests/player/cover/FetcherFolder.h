#pragma once
// A temporary application folder with a space in its name, taken as the
// program's own, and a stand-in fetcher script named like the real one.
#include "AppFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace veltest {

class FetcherFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        ASSERT_TRUE(QDir().mkpath(folder));
        vel::setAppFolderForTesting(QFile::encodeName(folder).toStdString());
    }
    void TearDown() override { vel::setAppFolderForTesting({}); }

    void writeFetcher(const QString& body,
                      QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) {
        QFile f(folder + "/velfetch");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("#!/bin/sh\n" + body.toUtf8() + "\n");
        f.close();
        f.setPermissions(perms);
    }

    // Runs the message loop until the cover timer stops: the fetcher has ended and been handled.
    static void waitUntilStopped(const QTimer& timer) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !timer.isActive(); }, 60000)) << "the search never ended";
    }

    QTemporaryDir tmp;
    const QString folder = tmp.filePath("app folder");
};

} // namespace veltest
