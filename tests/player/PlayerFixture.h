#pragma once
// A main window wired to the recording stand-in library, a temporary
// application folder, its own instance lock and recorded message boxes and URLs.
#include "AppFolder.h"
#include "StubLibrary.h"
#include "ProgressBox.h"
#include "frm_main.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace veltest {

class PlayerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        vel::setAppFolderForTesting(dir.path().toStdString());
        form = std::make_unique<velplay::frm_main>();
        form->lockPath = dir.filePath(QStringLiteral("velplay.lock"));
        form->informationBox = [this](QWidget*, const QString& title, const QString& text) {
            boxes.emplace_back(title, text);
        };
        form->openUrl = [this](const QUrl& url) {
            urls.push_back(url);
            return true;
        };
    }
    void TearDown() override {
        form.reset();
        vel::setAppFolderForTesting({});
    }

    // Starts the window with no track and forgets the start-up calls.
    void start(const QString& commandLine = {}) {
        ASSERT_TRUE(form->Form_Load(commandLine));
        stub.clearCalls();
    }

    QString file(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    StubLibrary stub;
    QTemporaryDir dir;
    std::unique_ptr<velplay::frm_main> form;
    std::vector<std::pair<QString, QString>> boxes;
    std::vector<QUrl> urls;
};

using Calls = std::vector<std::string>;

// The first n calls: loading a track goes on to read its tag after the transport calls.
inline Calls firstCalls(const Calls& calls, std::size_t n) {
    return Calls(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(std::min(n, calls.size())));
}

} // namespace veltest
