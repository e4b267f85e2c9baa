// Reading the product identifier from "asin"; the main window's tests open the store link.
#include "cover/StoreLink.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

} // namespace
