#include "framework/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using plugfw::Base64AnnouncedSize;
using plugfw::Base64Decode;
using plugfw::Base64Encode;

std::string Encode(const std::string& s)
{
    return Base64Encode(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

struct Vector
{
    const char* plain;
    const char* encoded;
};

// The test vectors of the base64 standard.
const Vector kVectors[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

TEST(Base64, EncodesTheStandardVectors)
{
    for (const Vector& v : kVectors)
        EXPECT_EQ(Encode(v.plain), v.encoded) << v.plain;
}

TEST(Base64, DecodesTheStandardVectorsToTheirAnnouncedSize)
{
    for (const Vector& v : kVectors)
    {
        const std::string text = v.encoded;
        const int64_t size = Base64AnnouncedSize(text);
        ASSERT_EQ(size, static_cast<int64_t>(std::string(v.plain).size())) << text;
        std::vector<uint8_t> out(static_cast<size_t>(size) + 1, 0xAA);
        EXPECT_EQ(Base64Decode(text, out.data(), static_cast<size_t>(size)),
                  static_cast<size_t>(size));
        EXPECT_EQ(std::string(out.begin(), out.begin() + size), v.plain);
        EXPECT_EQ(out[static_cast<size_t>(size)], 0xAA) << "wrote past the announced size";
    }
}

TEST(Base64, RoundTripsEveryByteValue)
{
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    for (size_t len : {size_t{1}, size_t{2}, size_t{3}, size_t{255}, size_t{256}})
    {
        const std::string plain = all.substr(0, len);
        const std::string text = Encode(plain);
        EXPECT_EQ(text.size(), (len + 2) / 3 * 4);
        std::string back(static_cast<size_t>(Base64AnnouncedSize(text)), '\0');
        Base64Decode(text, reinterpret_cast<uint8_t*>(back.data()), back.size());
        EXPECT_EQ(back, plain);
    }
}

TEST(Base64, AnnouncedSizeFollowsThePadding)
{
    struct Case
    {
        const char* text;
        int64_t size;
    };
    const Case cases[] = {
        {"QQ==", 1}, {"QUI=", 2}, {"QUJD", 3}, {"", 0},
        {"=", -1},   {"==", -1},  {"Q", 0},    {"QU", 1}, // unpadded tails
        {"A=B=", 2}, // the padding test looks at the last two characters only
    };
    for (const Case& c : cases)
        EXPECT_EQ(Base64AnnouncedSize(c.text), c.size) << c.text;
}

TEST(Base64, DecodingStopsAtTheFirstCharacterOutsideTheAlphabet)
{
    uint8_t out[6] = {};
    EXPECT_EQ(Base64Decode("Zm9v!Zm9v", out, sizeof out), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "foo");
    EXPECT_EQ(out[3], 0);
    EXPECT_EQ(Base64Decode("Zm\nv", out, sizeof out), 1u);
}

TEST(Base64, DecodingNeverWritesPastTheBuffer)
{
    uint8_t out[4] = {0, 0, 0x55, 0x55};
    EXPECT_EQ(Base64Decode("Zm9vYmFy", out, 2), 2u);
    EXPECT_EQ(out[2], 0x55);
    EXPECT_EQ(out[3], 0x55);
}

} // namespace
