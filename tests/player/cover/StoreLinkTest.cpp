// The store link: reading "asin", the two addresses, the desktop opener.
#include "cover/StoreLink.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct AsinCase {
    QByteArray bytes;
    QString expected;
};

void PrintTo(const AsinCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.bytes.toStdString()); }

class ReadAsinTable : public ::testing::TestWithParam<AsinCase> {};

TEST_P(ReadAsinTable, ReadsFirstLineUpToCarriageReturn) {
    QTemporaryDir dir;
    QFile f(dir.filePath("asin"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(GetParam().bytes);
    f.close();
    EXPECT_EQ(velplay::ReadAsin(f.fileName()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadAsinTable,
    ::testing::Values(AsinCase{"B000ABCDEF", "B000ABCDEF"}, AsinCase{"B000ABCDEF\r\nB000OTHER1", "B000ABCDEF"},
                      AsinCase{"B000ABCDEF\rrest", "B000ABCDEF"}, AsinCase{"  B000ABCDEF  ", "  B000ABCDEF  "},
                      AsinCase{"A1\nB2", "A1\nB2"}, AsinCase{"", ""}, AsinCase{"\r\nB000ABCDEF", ""},
                      AsinCase{"\x83\x41\x83\x43", QString::fromUtf8("アイ")}));

TEST(ReadAsin, MissingFileIsCreatedEmptyAndGivesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath("asin");
    EXPECT_EQ(velplay::ReadAsin(path), "");
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFile(path).size(), 0);
}

TEST(ReadAsin, UnopenableGivesNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("asin"));
    EXPECT_EQ(velplay::ReadAsin(dir.filePath("asin")), "");
    EXPECT_EQ(velplay::ReadAsin(dir.filePath("no such folder/asin")), "");
}

TEST(StoreLink, AddressesAndToolTip) {
    EXPECT_EQ(velplay::productAddress("B000ABCDEF"),
              "http://www.amazon.co.jp/exec/obidos/ASIN/B000ABCDEF/plovtarnime-22/sim=noref");
    EXPECT_EQ(velplay::storeAddress(), "http://www.amazon.co.jp/exec/obidos/ASIN/plovtarnime-22/sim=noref");
    EXPECT_EQ(velplay::storeToolTip(), QString::fromUtf8("ダブルクリックで amazon.co.jp を開きます。"));
}

class StoreLinkOpen : public ::testing::Test {
protected:
    void SetUp() override { asin = dir.filePath("asin"); }
    void open(bool viewStatus) {
        velplay::openStoreLink(viewStatus, asin, [this](const QUrl& url) {
            urls.push_back(url);
            return true;
        });
    }
    void writeAsin(const QByteArray& bytes) {
        QFile f(asin);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    std::vector<QUrl> urls;
    QTemporaryDir dir;
    QString asin;
};

TEST_F(StoreLinkOpen, CoverOnShowOpensItsProductPage) {
    writeAsin("B000ABCDEF\r\n");
    open(true);
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0].toString(), velplay::productAddress("B000ABCDEF"));
}

TEST_F(StoreLinkOpen, CoverOnShowWithoutIdentifierOpensNothing) {
    open(true);
    writeAsin("");
    open(true);
    EXPECT_TRUE(urls.empty());
}

TEST_F(StoreLinkOpen, NoCoverOpensStoreWhateverAsinHolds) {
    writeAsin("B000ABCDEF");
    open(false);
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0].toString(), velplay::storeAddress());
}

} // namespace
