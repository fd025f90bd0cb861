#include "app/ContentKey.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

// FIPS 180-4 example digests.
const QString kEmpty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const QString kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const QString kTwoBlocks = "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1";

TEST(ContentKey, MatchesThePublishedDigests) {
    EXPECT_EQ(app::contentKey(QByteArrayView()), kEmpty);
    EXPECT_EQ(app::contentKey(QByteArray("abc")), kAbc);
    EXPECT_EQ(
        app::contentKey(QByteArray("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
        kTwoBlocks);
}

TEST(ContentKey, HashesOnlyASlicesBytes) {
    const QByteArray larger("xxabcyy");
    EXPECT_EQ(app::contentKey(QByteArrayView(larger).sliced(2, 3)), kAbc);

    // Feeding in pieces, empty ones included, is the same as feeding at once.
    platform::Sha256 hasher;
    app::sha256UpdateWithData(hasher, QByteArrayView(larger).sliced(2, 1));
    app::sha256UpdateWithData(hasher, QByteArrayView());
    app::sha256UpdateWithData(hasher, QByteArrayView(larger).sliced(3, 2));
    EXPECT_EQ(app::hexString(hasher.finish()), kAbc);
    // A finished hasher starts over.
    EXPECT_EQ(app::hexString(hasher.finish()), kEmpty);
}

TEST(ContentKey, KeepsLeadingZerosOfEveryByte) {
    platform::Sha256Digest digest{};
    digest[0] = 0x01;
    digest[1] = 0xAB;
    digest[31] = 0x0F;
    const QString key = app::hexString(digest);
    EXPECT_EQ(key.size(), 64);
    EXPECT_TRUE(key.startsWith("01ab0000"));
    EXPECT_TRUE(key.endsWith("000f"));
    EXPECT_EQ(key, key.toLower());
}

TEST(ContentKey, OfAFileDependsOnlyOnItsBytes) {
    testsupport::TempDir dir;
    testsupport::writeAll(dir.file("one.png"), "abc");
    testsupport::writeAll(dir.file("other name.jpg"), "abc");
    EXPECT_EQ(app::contentKeyOfFile(dir.file("one.png")), kAbc);
    EXPECT_EQ(app::contentKeyOfFile(dir.file("other name.jpg")), kAbc);

    // Larger than one read, so the pieces must join up.
    QByteArray big(3 * (1 << 20) + 17, '\0');
    for (qsizetype i = 0; i < big.size(); ++i) {
        big[i] = char(i * 31 % 251);
    }
    testsupport::writeAll(dir.file("big"), big);
    EXPECT_EQ(app::contentKeyOfFile(dir.file("big")), app::contentKey(big));

    testsupport::writeAll(dir.file("empty"), {});
    EXPECT_EQ(app::contentKeyOfFile(dir.file("empty")), kEmpty);
    EXPECT_EQ(app::contentKeyOfFile(dir.file("missing")), std::nullopt);
    EXPECT_EQ(app::contentKeyOfFile(dir.path()), std::nullopt);
}

} // namespace
